// The editor's reading of a scheme and its saving: rows and name read from any text, and the
// file saved from them, which is the text read when every line of it ends in "\r\n".
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "scheme/scheme.h"

namespace sc = lz::scheme;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sc::EditorScheme scheme = sc::readForEditor(text);

    const std::size_t lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    LZ_FUZZ_CHECK(scheme.rows.size() == lineFeeds);
    LZ_FUZZ_CHECK(sc::countLines(text) == lineFeeds + 1);
    const std::size_t lastLineFeed = text.rfind('\n');
    LZ_FUZZ_CHECK(scheme.name == (lastLineFeed == text.npos ? text : text.substr(lastLineFeed + 1)));

    // Rows are views of the text read, in order, without their line break.
    const char* previousEnd = text.data();
    for (const std::string_view row : scheme.rows) {
        LZ_FUZZ_CHECK(row.find('\n') == row.npos);
        LZ_FUZZ_CHECK(row.data() >= previousEnd && row.data() + row.size() <= text.data() + text.size());
        previousEnd = row.data() + row.size();
    }

    // Saving writes "\r\n" after every row: the text itself, its bare line feeds made "\r\n".
    std::string crlf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
        crlf += text[i];
    }
    const std::string saved = sc::serialize(scheme.rows, scheme.name);
    LZ_FUZZ_CHECK(saved == crlf);
    if (crlf.size() == text.size()) LZ_FUZZ_CHECK(saved == text);

    // The saved file reads back to the same rows and name.
    const sc::EditorScheme again = sc::readForEditor(saved);
    LZ_FUZZ_CHECK(again.name == scheme.name);
    LZ_FUZZ_CHECK(std::equal(again.rows.begin(), again.rows.end(), scheme.rows.begin(), scheme.rows.end()));
    const std::vector<std::string> rows(scheme.rows.begin(), scheme.rows.end());
    LZ_FUZZ_CHECK(sc::serialize(rows, scheme.name) == saved);
    return 0;
}
