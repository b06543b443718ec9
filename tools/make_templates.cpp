// Writes the player templates, the shell players and empty.swf into the
// program folder: make_templates <program folder> <placeholder JPEG>.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os_file.h"
#include "swf/swf_writer.h"
#include "tools/player_designs.h"
#include "tools/tag_kit.h"

namespace tembrel {
namespace {

constexpr unsigned kVersion = 6;
constexpr unsigned kFrameRate = 12;

// Frame 1: background, the design, the frame-1 actions. Frame 2 empty.
// Frames 3..6: start-play, start-stop, end-loop, end-stop.
bool WriteTemplate(const std::string& path, const Design& design, const ByteBuffer& frame1Actions,
                   const ByteBuffer (&blocks)[4]) {
    SwfWriter w;
    if (!w.Open(path)) return false;
    w.SetMovie(kVersion, static_cast<std::uint32_t>(design.width), static_cast<std::uint32_t>(design.height),
               kFrameRate);
    bool ok = w.WriteHeader() && w.WriteBackgroundColour(0xFF, 0xFF, 0xFF);
    auto put = [&](const ByteBuffer& tag) {
        unsigned code = (tag[0] | (tag[1] << 8)) >> 6;
        ok = ok && w.WriteTag(code, tag.data(), tag.size());
    };
    for (const auto& tag : design.draft.Frame1()) put(tag);
    put(DoActionTag(frame1Actions));
    put(ShowFrameTag());
    put(ShowFrameTag());
    for (const auto& block : blocks) {
        put(DoActionTag(block));
        put(ShowFrameTag());
    }
    ok = ok && w.WriteEnd();
    w.Close();
    if (!ok) std::fprintf(stderr, "make_templates: cannot write %s\n", path.c_str());
    return ok;
}

bool WritePlayer(const std::string& path, const Design& design) {
    const ByteBuffer blocks[4] = {StartActions(true), StartActions(false), EndActions(true), EndActions(false)};
    return WriteTemplate(path, design, PreviewActions(), blocks);
}

bool WriteShell(const std::string& path, const Design& design) {
    const ByteBuffer blocks[4] = {ShellStartActions(true), ShellStartActions(false), ShellEndActions(true),
                                  ShellEndActions(false)};
    return WriteTemplate(path, design, ShellLoaderActions(), blocks);
}

bool ReadFile(const std::string& path, ByteBuffer& out) {
    OsFile f;
    if (!f.OpenForReading(path)) return false;
    std::int64_t size = f.Size();
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    return f.Read(out.data(), out.size()) == static_cast<std::int64_t>(out.size());
}

int Run(const std::string& dir, const std::string& jpegPath) {
    ByteBuffer placeholder;
    if (!ReadFile(jpegPath, placeholder)) {
        std::fprintf(stderr, "make_templates: cannot read %s\n", jpegPath.c_str());
        return 1;
    }
    const std::string players = dir + "/ControlSWF/", shells = players + "ShellPlayer/";
    bool ok = true;
    ok &= WritePlayer(players + "square_gradient_3.swf", ButtonPlayer(Look::SquareGradient, false, false));
    ok &= WritePlayer(players + "square_gradient_time.swf", ButtonPlayer(Look::SquareGradient, false, true));
    ok &= WritePlayer(players + "circle_gradient_1.swf", ButtonPlayer(Look::CircleGradient, false, false));
    ok &= WritePlayer(players + "circle_plain_1.swf", ButtonPlayer(Look::CirclePlain, false, false));
    ok &= WritePlayer(players + "text_1.swf", ButtonPlayer(Look::Text, false, false));
    ok &= WritePlayer(players + "trumpet_1.swf", ButtonPlayer(Look::Trumpet, false, false));
    ok &= WritePlayer(players + "round_rect_1.swf", ButtonPlayer(Look::RoundRect, false, false));
    ok &= WritePlayer(players + "track_bar.swf", TrackPlayer(false, false));
    ok &= WritePlayer(players + "track_time.swf", TrackPlayer(false, true));
    ok &= WritePlayer(players + "use_a_jpeg_1.swf", PicturePlayer(placeholder));
    ok &= WriteShell(shells + "square_gradient_3.swf", ButtonPlayer(Look::SquareGradient, true, false));
    ok &= WriteShell(shells + "circle_plain_1.swf", ButtonPlayer(Look::CirclePlain, true, false));
    ok &= WriteShell(shells + "track_bar.swf", TrackPlayer(true, false));
    ok &= WriteShell(shells + "track_time.swf", TrackPlayer(true, true));
    // Sound SWFs without controls: a 1 x 1 stage and only the four blocks.
    Design empty;
    empty.width = empty.height = 1;
    ok &= WritePlayer(dir + "/empty.swf", empty);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace tembrel

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_templates <program folder> <placeholder.jpg>\n");
        return 2;
    }
    return tembrel::Run(argv[1], argv[2]);
}
