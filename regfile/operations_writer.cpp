// The parts of writing .reg text that only whole files of operations and comments need (an
// export, a round trip): a translation unit of their own, so that a program writing plain
// sections (the undo files) does not carry them.
#include "regfile/writer.h"

namespace lz::regfile {

void Writer::newSection(std::u16string_view key) {
    text_.append(u"\r\n[").append(key).append(u"]\r\n");
    openSection_ = key;
    sectionOpen_ = true;
}

void Writer::comment(std::u16string_view text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find_first_of(u"\r\n", start);
        line(u"; " + std::u16string(text.substr(start, end == text.npos ? text.npos : end - start)));
        if (end == text.npos) return;
        start = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    }
}

void Writer::write(const Operation& operation) {
    switch (operation.kind) {
        case OperationKind::AddKey:
            section(operation.key);
            break;
        case OperationKind::DeleteKey:
            deleteKey(operation.key);
            break;
        case OperationKind::SetValue:
            section(operation.key);
            value(operation.name, operation.data);
            break;
        case OperationKind::DeleteValue:
            section(operation.key);
            deleteValue(operation.name);
            break;
    }
}

std::u16string writeOperations(std::span<const Operation> operations) {
    Writer writer;
    for (const Operation& operation : operations) writer.write(operation);
    return writer.text();
}

}  // namespace lz::regfile
