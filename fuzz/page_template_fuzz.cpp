// FillPageTemplate: the user's page template, read from its file as the
// conversion reads it, filled in for a movie whose names need escaping.
// Bytes after the first NUL, when there is one, become the source's name.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/page_writer.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("page");
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t templateSize = nul ? static_cast<std::size_t>(nul - data) : size;
    std::string name = "a <b> & \"c\" 'd' %T% e%20f";
    if (nul) name.assign(reinterpret_cast<const char*>(nul + 1), size - templateSize - 1);

    tembrel::ConversionSettings settings("/nonexistent-program-folder");
    settings.PageTemplatePath = input.Fill(data, templateSize);
    tembrel::SourceFileEntry entry;
    entry.sourcePath = "/music/" + name + ".wav";
    entry.outputSwfPath = "/out/" + name + ".swf";
    entry.htmlPath = "/out/" + name + ".html";
    entry.playerSwfPath = "/out/" + name + "_player.swf";
    tembrel::PageMovie movie{640, 480, 3725};
    const std::string page = tembrel::FillPageTemplate(tembrel::LoadPageTemplate(settings), settings, entry, movie);
    (void)page;
    return 0;
}
