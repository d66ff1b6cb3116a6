#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

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

TEST(PlatformFiles, AppendToFile) {
    const fs::path dir = fs::temp_directory_path() / ("germ-files-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "log.txt").string();
    auto read = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    EXPECT_FALSE(platform::AppendToFile(file, "a", false));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(platform::AppendToFile(file, "ab", true));
    EXPECT_TRUE(platform::AppendToFile(file, "cd", true)); // never truncated
    EXPECT_TRUE(platform::AppendToFile(file, "ef", false));
    EXPECT_EQ(read(), "abcdef");
    {
        // Another writer holding the file open does not stop the append, and the append lands
        // after what that writer added.
        std::ofstream other(file, std::ios::binary | std::ios::app);
        other << "XY" << std::flush;
        EXPECT_TRUE(platform::AppendToFile(file, "gh", false));
    }
    EXPECT_EQ(read(), "abcdefXYgh");

    fs::create_directory(dir / "folder.txt");
    EXPECT_FALSE(platform::AppendToFile((dir / "folder.txt").string(), "a", true));
    EXPECT_FALSE(platform::AppendToFile("", "a", true));
    fs::remove_all(dir);
}
