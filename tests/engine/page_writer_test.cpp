// The HTML page: the built-in template byte for byte, placeholder filling,
// URL escaping of the movie reference, HTML escaping of names, the shell
// player's query string, and templates read from the program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/page_text_escaping.h"
#include "engine/page_writer.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

std::string Content(const std::string& path) {
    const auto bytes = test::ReadAll(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "text after the last CR LF";
    return lines;
}

TEST(PageTemplate, BuiltInPageHasThirteenCrLfLines) {
    const std::string& page = BuiltInPageTemplate();
    EXPECT_EQ(page.find('\n'), page.find("\r\n") + 1);
    const auto lines = SplitCrLf(page);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "<HTML><HEAD><TITLE>%T%</TITLE></HEAD>");
    EXPECT_EQ(lines[1], "<BODY bgcolor=\"#FFFFFF\">");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3].rfind("<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\"http", 0), 0u);
    EXPECT_NE(lines[3].find("#version=6,0,0,0\" WIDTH=\"%W%\" HEIGHT=\"%H%\">"), std::string::npos);
    EXPECT_EQ(lines[4], " <PARAM NAME=\"movie\" VALUE=\"%SWF%\">");
    EXPECT_EQ(lines[5], " <PARAM NAME=\"quality\" VALUE=\"high\">");
    EXPECT_EQ(lines[6], " <PARAM NAME=\"bgcolor\" VALUE=\"%BKG%\">");
    EXPECT_EQ(lines[7].rfind(" <EMBED src=\"%SWF%\" quality=\"high\" bgcolor=\"%BKG%\" WIDTH=\"%W%\" HEIGHT=\"%H%\" "
                             "TYPE=\"application/x-shockwave-flash\" PLUGINSPAGE=\"http",
                             0),
              0u);
    EXPECT_EQ(lines[7].substr(lines[7].size() - 10), "\"></EMBED>");
    EXPECT_EQ(lines[8], "</OBJECT>");
    EXPECT_EQ(lines[9], "%SWFNAME%");
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "");
    EXPECT_EQ(lines[12], "</BODY></HTML>");
}

TEST(PageEscaping, UrlEscapingKeepsLettersDigitsDotsAndHighBytes) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"my song_1.swf", "my%20song%5F1.swf"},
        {"a-b.swf", "a%2Db.swf"},
        {"Az09.", "Az09."},
        {"tab\there", "tab%09here"},
        {"caf\xC3\xA9.swf", "caf\xC3\xA9.swf"},
        {"<&\"'>?=%", "%3C%26%22%27%3E%3F%3D%25"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeForUrl(c.in), c.out) << c.in;
}

TEST(PageEscaping, HtmlEscapingOfMarkupCharacters) {
    EXPECT_EQ(EscapeForHtml("<script>alert('x')</script> & \"q\""),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;");
    EXPECT_EQ(EscapeForHtml("plain name_1.swf"), "plain name_1.swf");
}

class PageWriter : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.PageTemplatePath = dir_.File("missing.htm");
        settings_.SWFBkgColor = MakeColourRef(0x12, 0xAB, 0xEF);
        settings_.ShellPlayerSWF = dir_.File("players/square.swf");
    }

    std::string Write(const std::string& swfName, const std::string& playerName = "") {
        entry_.sourcePath = dir_.File("source.mp3");
        entry_.outputSwfPath = dir_.File(swfName);
        entry_.htmlPath = dir_.File("page.htm");
        entry_.playerSwfPath = playerName.empty() ? "" : dir_.File(playerName);
        EXPECT_TRUE(WritePage(settings_, entry_, movie_));
        return Content(entry_.htmlPath);
    }

    ScratchDir dir_;
    ConversionSettings settings_{"/nonexistent/program/"};
    PageMovie movie_{120, 45, 0};
    SourceFileEntry entry_;
};

TEST_F(PageWriter, BuiltInPageFilledIn) {
    const std::string page = Write("my song_1.swf");
    const auto lines = SplitCrLf(page);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "<HTML><HEAD><TITLE>my song_1.swf</TITLE></HEAD>");
    EXPECT_EQ(lines[1], "<BODY bgcolor=\"#FFFFFF\">");  // the body keeps white
    EXPECT_NE(lines[3].find("WIDTH=\"120\" HEIGHT=\"45\">"), std::string::npos);
    EXPECT_EQ(lines[4], " <PARAM NAME=\"movie\" VALUE=\"my%20song%5F1.swf\">");
    EXPECT_EQ(lines[6], " <PARAM NAME=\"bgcolor\" VALUE=\"#12ABEF\">");
    EXPECT_EQ(lines[7].rfind(" <EMBED src=\"my%20song%5F1.swf\" quality=\"high\" bgcolor=\"#12ABEF\" WIDTH=\"120\" "
                             "HEIGHT=\"45\" ",
                             0),
              0u);
    EXPECT_EQ(lines[9], "my song_1");
    EXPECT_EQ(page.find('%'), page.find("%20"));  // no placeholder left

    settings_.AddFileNameOnHtml = 0;
    EXPECT_EQ(SplitCrLf(Write("my song_1.swf"))[9], "");
}

TEST_F(PageWriter, NamesCannotInjectMarkupOrPlaceholders) {
    const std::string page = Write("<script>alert(1)<%W%>.swf");
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    const auto lines = SplitCrLf(page);
    EXPECT_EQ(lines[0], "<HTML><HEAD><TITLE>&lt;script&gt;alert(1)&lt;%W%&gt;.swf</TITLE></HEAD>");
    EXPECT_EQ(lines[4], " <PARAM NAME=\"movie\" VALUE=\"%3Cscript%3Ealert%281%29%3C%25W%25%3E.swf\">");
    EXPECT_EQ(lines[9], "&lt;script&gt;alert(1)&lt;%W%&gt;");
}

TEST_F(PageWriter, ShellPlayerReferenceWithAndWithoutDuration) {
    settings_.SWFInitPlay = 1;
    settings_.SWFLoopPlay = 0;
    movie_.durationSeconds = 187;
    std::string page = Write("a b.swf", "a b.player.swf");
    EXPECT_NE(page.find("VALUE=\"a%20b.player.swf?soundswf=a%20b.swf&autoplay=1&loops=0\">"), std::string::npos);
    EXPECT_EQ(page.find("duration"), std::string::npos);

    settings_.ShellPlayerSWF = dir_.File("players/Track_Time.swf");
    settings_.SWFInitPlay = 0;
    settings_.SWFLoopPlay = 1;
    page = Write("a b.swf", "a b.player.swf");
    EXPECT_NE(page.find(" <EMBED src=\"a%20b.player.swf?soundswf=a%20b.swf&autoplay=0&loops=1&duration=187\""),
              std::string::npos);
}

TEST_F(PageWriter, TemplateFromFileIsUsedWholeAndInOrder) {
    const std::string text = std::string("T=%T% B=%BKG% W=%W% H=%H% S=%SWF% N=%SWFNAME% again %T%\n") + "\x01\xFF";
    std::ofstream(dir_.File("Template.htm"), std::ios::binary) << text;
    settings_.PageTemplatePath = dir_.File("Template.htm");
    EXPECT_EQ(LoadPageTemplate(settings_), text);
    EXPECT_EQ(Write("x.swf"),
              std::string("T=x.swf B=#12ABEF W=120 H=45 S=x.swf N=x again x.swf\n") + "\x01\xFF");

    // An empty template file gives an empty page; a missing one the built-in.
    std::ofstream(dir_.File("Template.htm"), std::ios::trunc);
    EXPECT_EQ(LoadPageTemplate(settings_), "");
    fs::remove(dir_.File("Template.htm"));
    EXPECT_EQ(LoadPageTemplate(settings_), BuiltInPageTemplate());
    settings_.PageTemplatePath = dir_.Path();  // a folder is not a template
    EXPECT_EQ(LoadPageTemplate(settings_), BuiltInPageTemplate());
}

// Peak resident memory of this process in bytes since the last reset.
std::int64_t PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return -1;
}

// A huge template with millions of placeholders, some overlapping: filled
// exactly as placeholder after placeholder in the template's own text, and
// in memory near the template's and the page's size (a reset peak of the
// resident set, not a timing, so a slow machine passes alike).
TEST_F(PageWriter, HugeTemplatesFillInMemoryNearTheirSize) {
    const std::string tricky = "%BKG%T%|%W%H%|%SWF%SWFNAME%|%%T%%|%SWFNAME%SWF%|%H%W%H%|%%SWF%%";
    const std::string filledTricky = "%BKGx.swf|120H%|x.swfSWFNAME%|%x.swf%|%SWFNAMEx.swf|%H120H%|%x.swf%";
    const std::string block = "ab%W%c%H%%T%";
    constexpr std::size_t kBlocks = 16u << 20 >> 4;  // about 12 MB
    std::string text = tricky;
    text.reserve(tricky.size() + block.size() * kBlocks);
    for (std::size_t i = 0; i < kBlocks; ++i) text += block;
    entry_.outputSwfPath = dir_.File("x.swf");

    const bool canReset = std::ofstream("/proc/self/clear_refs") << "5" && PeakResidentBytes() > 0;
    const std::int64_t before = PeakResidentBytes();
    const std::string page = FillPageTemplate(text, settings_, entry_, movie_);
    const std::int64_t grown = PeakResidentBytes() - before;

    ASSERT_EQ(page.size(), filledTricky.size() + kBlocks * std::strlen("ab120c45x.swf"));
    EXPECT_EQ(page.substr(0, filledTricky.size()), filledTricky);
    EXPECT_EQ(page.substr(page.size() - 26), "ab120c45x.swfab120c45x.swf");
    EXPECT_EQ(page.find('%', filledTricky.size()), std::string::npos);
    if (!canReset) GTEST_SKIP() << "the peak resident set cannot be reset here";
    const auto limit = static_cast<std::int64_t>(2 * std::max(text.size(), page.size()));
    EXPECT_LT(grown, limit) << "filling " << text.size() << " bytes took " << grown << " bytes more";
}

TEST_F(PageWriter, FailsWithoutWritingWhereItMustNot) {
    entry_.outputSwfPath = dir_.File("x.swf");
    entry_.htmlPath = dir_.File("no/such/folder/x.htm");
    EXPECT_FALSE(WritePage(settings_, entry_, movie_));

    // A page path that leads to the source (a sound file named .htm) is
    // refused rather than overwriting it.
    std::ofstream(dir_.File("tune.htm")) << "sound";
    entry_.sourcePath = dir_.File("tune.htm");
    entry_.htmlPath = dir_.File("tune.htm");
    EXPECT_FALSE(WritePage(settings_, entry_, movie_));
    EXPECT_EQ(Content(dir_.File("tune.htm")), "sound");
}

}  // namespace
}  // namespace tembrel
