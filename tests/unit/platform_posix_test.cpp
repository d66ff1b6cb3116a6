#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/text.h"

namespace fs = std::filesystem;

TEST(PlatformText, Utf8ToCp932) {
    EXPECT_EQ(platform::Utf8ToCp932("abc\r\n"), "abc\r\n");
    EXPECT_EQ(platform::Utf8ToCp932("表ソ"), "\x95\x5c\x83\x5c");
    EXPECT_EQ(platform::Utf8ToCp932("午後"), "\x8c\xdf\x8c\xe3");
    // Not in code page 932, and not UTF-8 at all: one "?" each, the rest goes on.
    EXPECT_EQ(platform::Utf8ToCp932("a\xc3\xa9z"), "a?z");
    EXPECT_EQ(platform::Utf8ToCp932("a\xffz"), "a?z");
    EXPECT_EQ(platform::Utf8ToCp932("a\xe8\xa1"), "a?");
    EXPECT_EQ(platform::Utf8ToCp932(""), "");
}

TEST(PlatformFiles, ModuleFileNameIsThisExecutable) {
    const fs::path path = platform::ModuleFileName();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}
