// The pages the optimizer shows or opens, kept in one place: the download board of our web
// site, and the more-products window's pages, which are built into the program.
#pragma once

#include <string>
#include <string_view>

#include "platform/process.h"

namespace lz::optimizer::web {

// The scheme-download board of the forum ("下载方案"), opened in the default browser.
inline constexpr const char* kSchemeDownloadBoard = "https://www.lzvantor.example/bbs/forum/5";

// Built-in pages (HTML resources of optimizer.exe, optimizer/pages/): the more-products
// window's start page about the two programs ("更多智能软件"), and what comes next ("即将更新").
inline constexpr std::string_view kProductsPage = "products.html";
inline constexpr std::string_view kUpcomingPage = "upcoming.html";

// The browser's address of a built-in page: the res: address of the running program file,
// "res://C:\LZ Vantor\optimizer.exe/products.html", which needs no network.
std::string builtInPage(process::Process& process, std::string_view page);

}  // namespace lz::optimizer::web
