// The programs' own reports of the C++ library's failures (linked into this test as into the
// programs): every report still throws, with the library's message, and they are the ones in
// use, not the library's.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string whatOf(void (*fail)()) {
    try {
        fail();
    } catch (const std::out_of_range&) {
        return "the library's own std::out_of_range: its report is linked, not the program's";
    } catch (const std::length_error&) {
        return "the library's own std::length_error: its report is linked, not the program's";
    } catch (const std::exception& error) {
        return error.what();
    }
    return "nothing thrown";
}

TEST(LibraryFailures, ThrowTheLibrarysMessageFromTheProgramsOwnReports) {
    EXPECT_NE(whatOf([] { (void)std::string("abc").substr(4); }).find("substr"), std::string::npos)
        << whatOf([] { (void)std::string("abc").substr(4); });
    EXPECT_NE(whatOf([] { (void)std::vector<int>(2).at(2); }).find("vector"), std::string::npos)
        << whatOf([] { (void)std::vector<int>(2).at(2); });
    EXPECT_NE(whatOf([] { std::string().reserve(std::string().max_size() + 1); }).find("basic_string"),
              std::string::npos)
        << whatOf([] { std::string().reserve(std::string().max_size() + 1); });
}

TEST(LibraryFailures, AllocationFailuresKeepTheirTypes) {
    volatile std::size_t huge = SIZE_MAX / 2;
    EXPECT_THROW((void)std::vector<char>(huge), std::bad_alloc);
    volatile long negative = -1;
    EXPECT_THROW(delete[] new int[negative], std::bad_array_new_length);
}

}  // namespace
