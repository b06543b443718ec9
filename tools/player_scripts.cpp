#include "tools/player_scripts.h"

#include <string>

#include "tools/avm1_assembler.h"

namespace tembrel {

namespace {

// Property indices of GetProperty/SetProperty.
constexpr int kPropX = 0, kPropXScale = 2, kPropCurrentFrame = 4, kPropTotalFrames = 5, kPropXMouse = 20;

ByteBuffer Done(const Avm1Assembler& a) {
    ByteBuffer out;
    a.Finish(out);
    return out;
}

// The frame-rate place: Push(constant 2 = "fps", int 12), SetVariable.
void FrameRatePlace(Avm1Assembler& a, const char* first, const char* second) {
    a.ConstantPool({first, second, "fps"});
    a.Push({Const(2), Int(12)});
    a.Op(kOpSetVariable);
}

void ClampUnit(Avm1Assembler& a, const std::string& var, const std::string& tag) {
    a.Push({Str(var)});
    a.Op(kOpGetVariable);
    a.Push({Int(0)});
    a.Op(kOpLess2);
    a.Op(kOpNot);
    a.If(tag + "lo");
    a.Push({Str(var), Int(0)});
    a.Op(kOpSetVariable);
    a.Label(tag + "lo");
    a.Push({Int(1), Str(var)});
    a.Op(kOpGetVariable);
    a.Op(kOpLess2);
    a.Op(kOpNot);
    a.If(tag + "hi");
    a.Push({Str(var), Int(1)});
    a.Op(kOpSetVariable);
    a.Label(tag + "hi");
}

// Sends the frame number on the stack to `target` as gotoAndStop/Play.
void GotoOn(Avm1Assembler& a, const std::string& target, bool play) {
    a.Push({Str(target)});
    a.Op(kOpSetTarget2);
    a.GotoFrame2(play);
    a.SetTarget("");
}

// Puts one decimal digit of `var` on a digit sprite (frame digit + 1):
// ((var % moduloFirst) / divideBy, truncated) % moduloLast, a step left out
// where its number is 0.
void ShowDigit(Avm1Assembler& a, const std::string& var, const std::string& sprite, int moduloFirst, int divideBy,
               int moduloLast) {
    a.Push({Str(var)});
    a.Op(kOpGetVariable);
    if (moduloFirst) {
        a.Push({Int(moduloFirst)});
        a.Op(kOpModulo);
    }
    if (divideBy) {
        a.Push({Int(divideBy)});
        a.Op(kOpDivide);
        a.Op(kOpToInteger);
    }
    if (moduloLast) {
        a.Push({Int(moduloLast)});
        a.Op(kOpModulo);
    }
    a.Push({Int(1)});
    a.Op(kOpAdd2);
    GotoOn(a, sprite, false);
}

// Shows `var` seconds as m:ss on the digit sprites prefix0..prefix2.
void ShowTime(Avm1Assembler& a, const std::string& var, const std::string& prefix) {
    ShowDigit(a, var, prefix + "0", 0, 60, 10);  // minutes (last digit)
    ShowDigit(a, var, prefix + "1", 60, 10, 0);  // tens of seconds
    ShowDigit(a, var, prefix + "2", 0, 0, 10);   // seconds
}

// Whole seconds into `var`, never below 0.
void StoreSeconds(Avm1Assembler& a, const std::string& var, const std::string& tag) {
    a.Op(kOpToInteger);
    a.Push({Str(var)});
    a.Op(kOpStackSwap);  // name below value
    a.Op(kOpSetVariable);
    a.Push({Str(var)});
    a.Op(kOpGetVariable);
    a.Push({Int(0)});
    a.Op(kOpLess2);
    a.Op(kOpNot);
    a.If(tag);
    a.Push({Str(var), Int(0)});
    a.Op(kOpSetVariable);
    a.Label(tag);
}

}  // namespace

ByteBuffer StartActions(bool play) {
    Avm1Assembler a;
    FrameRatePlace(a, "playing", "unused");
    a.Push({Str("playing"), Int(play ? 1 : 0)});
    a.Op(kOpSetVariable);
    a.Op(play ? kOpPlay : kOpStop);
    return Done(a);
}

ByteBuffer EndActions(bool loop) {
    Avm1Assembler a;
    a.Push({Str("playing"), Int(loop ? 1 : 0)});
    a.Op(kOpSetVariable);
    a.GotoFrame(1);  // back to the first sound frame, skipping the start actions
    a.Op(loop ? kOpPlay : kOpStop);
    return Done(a);
}

ByteBuffer ShellStartActions(bool play) {
    Avm1Assembler a;
    FrameRatePlace(a, "autoplay", "loops");
    a.Push({Str("autoplay"), Int(play ? 1 : 0)});
    a.Op(kOpSetVariable);
    return Done(a);
}

ByteBuffer ShellEndActions(bool loop) {
    Avm1Assembler a;
    a.Push({Str("loops"), Int(loop ? 1 : 0)});
    a.Op(kOpSetVariable);
    return Done(a);
}

ByteBuffer PreviewActions() { return StopActions(); }

ByteBuffer StopActions() {
    Avm1Assembler a;
    a.Op(kOpStop);
    return Done(a);
}

ByteBuffer ShellLoaderActions() {
    Avm1Assembler a;
    a.Op(kOpStop);
    a.Push({Str("waiting"), Str("autoplay")});
    a.Op(kOpGetVariable);
    a.Push({Int(0)});
    a.Op(kOpEquals2);
    a.Op(kOpSetVariable);
    a.Push({Str("soundswf")});
    a.Op(kOpGetVariable);
    a.Push({Undefined()});
    a.Op(kOpEquals2);
    a.If("none");
    a.Push({Str("soundswf")});
    a.Op(kOpGetVariable);
    a.Push({Str("_level1")});
    a.GetUrl2(0);  // loadMovieNum(soundswf, 1)
    a.Label("none");
    return Done(a);
}

ByteBuffer PlayButtonActions(bool shell) {
    Avm1Assembler a;
    if (shell) {
        a.Push({Str("waiting"), Bool(false)});
        a.Op(kOpSetVariable);
        a.SetTarget("_level1");
        a.Op(kOpPlay);
        a.SetTarget("");
    } else {
        a.Op(kOpPlay);
        a.Push({Str("playing"), Int(1)});
        a.Op(kOpSetVariable);
    }
    return Done(a);
}

ByteBuffer StopButtonActions(bool shell) {
    Avm1Assembler a;
    if (shell) {
        a.SetTarget("_level1");
        a.Op(kOpStop);
        a.SetTarget("");
    } else {
        a.Op(kOpStop);
        a.Push({Str("playing"), Int(0)});
        a.Op(kOpSetVariable);
    }
    return Done(a);
}

ByteBuffer ToggleButtonActions() {
    Avm1Assembler a;
    a.Push({Str("playing")});
    a.Op(kOpGetVariable);
    a.If("on");
    a.Op(kOpPlay);
    a.Push({Str("playing"), Int(1)});
    a.Op(kOpSetVariable);
    a.Jump("end");
    a.Label("on");
    a.Op(kOpStop);
    a.Push({Str("playing"), Int(0)});
    a.Op(kOpSetVariable);
    a.Label("end");
    return Done(a);
}

ByteBuffer SeekButtonActions(bool shell, const TrackGeometry& track) {
    const std::string target = shell ? "_level1" : "";
    const int first = shell ? 1 : 2;
    Avm1Assembler a;
    a.Push({Str("fr"), Str(""), Int(kPropXMouse)});
    a.Op(kOpGetProperty);
    a.Push({Int(track.x0)});
    a.Op(kOpSubtract);
    a.Push({Int(track.width)});
    a.Op(kOpDivide);
    a.Op(kOpSetVariable);
    ClampUnit(a, "fr", "seek");
    // frame = first + int(fr * (totalframes - first))
    a.Push({Str(target), Int(kPropTotalFrames)});
    a.Op(kOpGetProperty);
    a.Push({Int(first)});
    a.Op(kOpSubtract);
    a.Push({Str("fr")});
    a.Op(kOpGetVariable);
    a.Op(kOpMultiply);
    a.Op(kOpToInteger);
    a.Push({Int(first)});
    a.Op(kOpAdd2);
    if (shell) {
        GotoOn(a, "_level1", true);
        a.Push({Str("waiting"), Bool(false)});
    } else {
        a.GotoFrame2(true);
        a.Push({Str("playing"), Int(1)});
    }
    a.Op(kOpSetVariable);
    return Done(a);
}

ByteBuffer DisplayUpdateActions(bool shell, const TrackGeometry* track, bool withTime) {
    const std::string source = shell ? "_level1" : "_root";
    const int first = shell ? 1 : 2;
    Avm1Assembler a;
    a.Push({Str("tf"), Str(source), Int(kPropTotalFrames)});
    a.Op(kOpGetProperty);
    a.Op(kOpSetVariable);
    a.Push({Str("cf"), Str(source), Int(kPropCurrentFrame)});
    a.Op(kOpGetProperty);
    a.Op(kOpSetVariable);
    // Nothing to show until the sound is there.
    a.Push({Int(first), Str("tf")});
    a.Op(kOpGetVariable);
    a.Op(kOpLess2);
    a.Op(kOpNot);
    a.If("idle");
    if (shell) {
        // Hold the sound at its first frame until play is clicked.
        a.Push({Str("_root.waiting")});
        a.Op(kOpGetVariable);
        a.Op(kOpNot);
        a.If("going");
        a.Push({Int(1)});
        GotoOn(a, "_level1", false);
        a.Push({Str("_root.waiting"), Bool(false)});
        a.Op(kOpSetVariable);
        a.Push({Str("cf"), Int(1)});
        a.Op(kOpSetVariable);
        a.Label("going");
        // At the last frame without loops: rewind and wait.
        a.Push({Str("cf")});
        a.Op(kOpGetVariable);
        a.Push({Str("tf")});
        a.Op(kOpGetVariable);
        a.Op(kOpLess2);
        a.If("running");
        a.Push({Str("_root.loops")});
        a.Op(kOpGetVariable);
        a.Push({Int(1)});
        a.Op(kOpEquals2);
        a.If("running");
        a.Push({Int(1)});
        GotoOn(a, "_level1", false);
        a.Push({Str("cf"), Int(1)});
        a.Op(kOpSetVariable);
        a.Label("running");
    }
    // fr = (cf - first) / (tf - first), within 0..1
    a.Push({Str("fr"), Str("cf")});
    a.Op(kOpGetVariable);
    a.Push({Int(first)});
    a.Op(kOpSubtract);
    a.Push({Str("tf")});
    a.Op(kOpGetVariable);
    a.Push({Int(first)});
    a.Op(kOpSubtract);
    a.Op(kOpDivide);
    a.Op(kOpSetVariable);
    ClampUnit(a, "fr", "fr");
    if (track) {
        a.Push({Str("fill"), Int(kPropXScale), Str("fr")});
        a.Op(kOpGetVariable);
        a.Push({Int(100)});
        a.Op(kOpMultiply);
        a.Op(kOpSetProperty);
        a.Push({Str("knob"), Int(kPropX), Str("fr")});
        a.Op(kOpGetVariable);
        a.Push({Int(track->width)});
        a.Op(kOpMultiply);
        a.Push({Int(track->knobX0)});
        a.Op(kOpAdd2);
        a.Op(kOpSetProperty);
    }
    if (withTime) {
        if (shell) {
            a.Push({Str("_root.duration")});
            a.Op(kOpGetVariable);
            a.Push({Str("fr")});
            a.Op(kOpGetVariable);
            a.Op(kOpMultiply);
            StoreSeconds(a, "secs", "s0");
            a.Push({Str("_root.duration")});
            a.Op(kOpGetVariable);
            a.Push({Int(1)});
            a.Op(kOpMultiply);
            StoreSeconds(a, "total", "s1");
        } else {
            a.Push({Str("cf")});
            a.Op(kOpGetVariable);
            a.Push({Int(2)});
            a.Op(kOpSubtract);
            a.Push({Str("_root.fps")});
            a.Op(kOpGetVariable);
            a.Op(kOpDivide);
            StoreSeconds(a, "secs", "s0");
            a.Push({Str("tf")});
            a.Op(kOpGetVariable);
            a.Push({Int(2)});
            a.Op(kOpSubtract);
            a.Push({Str("_root.fps")});
            a.Op(kOpGetVariable);
            a.Op(kOpDivide);
            StoreSeconds(a, "total", "s1");
        }
        ShowTime(a, "secs", "e");
        ShowTime(a, "total", "t");
    }
    a.Jump("end");
    // No sound yet (a shell still loading): an empty bar.
    a.Label("idle");
    if (track) {
        a.Push({Str("fill"), Int(kPropXScale), Int(0)});
        a.Op(kOpSetProperty);
    }
    a.Label("end");
    return Done(a);
}

}  // namespace tembrel
