// Showing a file in the file manager: the URI and the bus call it sends, and
// running helper programs without a shell.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_manager.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

TEST(FileManagerTest, UriEscapesEverythingButPlainBytes) {
    const struct {
        const char* path;
        const char* uri;
    } cases[] = {
        {"/home/u/Music/a.swf", "file:///home/u/Music/a.swf"},
        {"/tmp/a b#1%.swf", "file:///tmp/a%20b%231%25.swf"},
        {"/tmp/\"q\";$(x)&.swf", "file:///tmp/%22q%22%3B%24%28x%29%26.swf"},
        {"/tmp/\xC3\xA9t\xC3\xA9.swf", "file:///tmp/%C3%A9t%C3%A9.swf"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileUri(c.path), c.uri) << c.path;
}

TEST(FileManagerTest, ShowItemsCallNamesTheFileManagerInterface) {
    const auto command = ShowItemsCommand("/tmp/x y.swf");
    ASSERT_GE(command.size(), 3u);
    EXPECT_EQ(command.front(), "dbus-send");
    EXPECT_NE(std::find(command.begin(), command.end(), "--dest=org.freedesktop.FileManager1"), command.end());
    EXPECT_NE(std::find(command.begin(), command.end(), "org.freedesktop.FileManager1.ShowItems"), command.end());
    EXPECT_NE(std::find(command.begin(), command.end(), "array:string:file:///tmp/x%20y.swf"), command.end());
}

TEST(FileManagerTest, RunQuietlyReportsTheExitStatus) {
    EXPECT_TRUE(RunQuietly({"true"}));
    EXPECT_FALSE(RunQuietly({"false"}));
    EXPECT_FALSE(RunQuietly({"no-such-program-tembrel"}));
    EXPECT_FALSE(RunQuietly({}));
    // Arguments reach the program as they are, no shell in between.
    test::ScratchDir scratch;
    const std::string odd = scratch.File("a;b $(c)");
    EXPECT_TRUE(RunQuietly({"touch", odd}));
    EXPECT_TRUE(RunQuietly({"test", "-f", odd}));
}

}  // namespace
}  // namespace tembrel
