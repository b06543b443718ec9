// What the converter reports per file: JSON string literals that stay valid
// whatever bytes a file name holds, and the reasons rows receive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/json_text.h"
#include "cli/terminal_ui.h"

namespace tembrel::cli {
namespace {

using namespace std::string_literals;

TEST(JsonStringTest, EscapesControlsAndReplacesIllFormedUtf8) {
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        std::string text, json;
    } cases[] = {
        {"", "\"\""},
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {"\n\r\t\x01\x1f\x7f"s + '\0', "\"\\n\\r\\t\\u0001\\u001f\x7f\\u0000\""},
        // Well-formed two-, three- and four-byte sequences, the edges included.
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5 \xED\x9F\xBF \xF4\x8F\xBF\xBF \xC2\x80",
         "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5 \xED\x9F\xBF \xF4\x8F\xBF\xBF \xC2\x80\""},
        // Bytes that never start a sequence, lone continuation bytes.
        {"a\xFF" "b", "\"a" + r + "b\""},
        {"\xF5\xF8\xFE\xC0\xC1", "\"" + r + r + r + r + r + "\""},
        {"\x80\xBF", "\"" + r + r + "\""},
        // Overlong forms, UTF-16 surrogates, past U+10FFFF: no byte belongs
        // to a possible sequence, so one replacement each.
        {"\xC0\xAF", "\"" + r + r + "\""},
        {"\xE0\x80\xAF", "\"" + r + r + r + "\""},
        {"\xF0\x80\x80\xAF", "\"" + r + r + r + r + "\""},
        {"\xED\xA0\x80", "\"" + r + r + r + "\""},
        {"\xF4\x90\x80\x80", "\"" + r + r + r + r + "\""},
        // Truncated sequences: one replacement for the part that was there.
        {"\xE2\x82", "\"" + r + "\""},
        {"\xE2\x82x", "\"" + r + "x\""},
        {"\xF0\x9F\x8E\"", "\"" + r + "\\\"\""},
        {"\xE1\x80\xC0\xAF", "\"" + r + r + r + "\""},
        {"\xC2", "\"" + r + "\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << testing::PrintToString(c.text);
}

TEST(TerminalConversionUiTest, ReasonsGoToStandardErrorAndTheJsonLines) {
    SourceFileEntry converted, failed, untouched;
    converted.sourcePath = "/music/a.wav";
    converted.outputSwfPath = "/out/a.swf";
    converted.htmlPath = "/out/a.htm";
    failed.sourcePath = "/music/b.wav";
    untouched.sourcePath = "/music/c.wav";
    const std::vector<SourceFileEntry*> entries = {&converted, &failed, &untouched};
    TerminalConversionUi ui(entries, false, true, false);

    testing::internal::CaptureStderr();
    ui.SetRowStatus(0, "a.swf");
    ui.SetRowStatus(1, "Conversion Failure");
    EXPECT_FALSE(ui.AnyReason());
    ui.SetRowReason(0, "page not written: no space left on device");
    ui.SetRowReason(1, "the sound could not be \"decoded\"");
    ui.SetRowReason(7, "no such row");
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(err,
              "/music/a.wav: page not written: no space left on device\n"
              "/music/b.wav: the sound could not be \"decoded\"\n");
    EXPECT_EQ(ui.Statuses(), (std::vector<std::string>{"a.swf", "Conversion Failure", ""}));
    EXPECT_EQ(ui.Reasons(), (std::vector<std::string>{"page not written: no space left on device",
                                                      "the sound could not be \"decoded\"", ""}));
    EXPECT_TRUE(ui.AnyReason());
    EXPECT_EQ(ui.JsonLines(),
              "{\"source\":\"/music/a.wav\",\"status\":\"a.swf\",\"swf\":\"/out/a.swf\",\"page\":\"/out/a.htm\","
              "\"player\":\"\",\"reason\":\"page not written: no space left on device\"}\n"
              "{\"source\":\"/music/b.wav\",\"status\":\"Conversion Failure\",\"swf\":\"\",\"page\":\"\","
              "\"player\":\"\",\"reason\":\"the sound could not be \\\"decoded\\\"\"}\n"
              "{\"source\":\"/music/c.wav\",\"status\":\"\",\"swf\":\"\",\"page\":\"\",\"player\":\"\","
              "\"reason\":\"\"}\n");
}

}  // namespace
}  // namespace tembrel::cli
