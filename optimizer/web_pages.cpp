#include "optimizer/web_pages.h"

namespace lz::optimizer::web {

std::string builtInPage(process::Process& process, std::string_view page) {
    return "res://" + process.programPath() + "/" + std::string(page);
}

}  // namespace lz::optimizer::web
