// The addresses of our web site that the optimizer opens. Kept in one place.
#pragma once

namespace lz::optimizer::web {

// The scheme-download board of the forum ("下载方案").
inline constexpr const char* kSchemeDownloadBoard = "https://www.lzvantor.example/bbs/forum/5";
// The product overview: the more-products window's start page ("更多智能软件").
inline constexpr const char* kProductOverview = "https://www.lzvantor.example/products";
// The upcoming-updates page ("即将更新").
inline constexpr const char* kUpcomingUpdates = "https://www.lzvantor.example/products/upcoming";

}  // namespace lz::optimizer::web
