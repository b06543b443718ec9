#include "tools/avm1_assembler.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tembrel {
namespace {

struct AssemblyCase {
    const char* what;
    std::function<void(Avm1Assembler&)> program;
    std::vector<std::uint8_t> bytes;  // ActionEnd included
};

TEST(Avm1Assembler, EncodesEachCaseToTheseBytes) {
    const std::vector<AssemblyCase> cases = {
        {"simple actions", [](Avm1Assembler& a) { a.Op(kOpPlay); a.Op(kOpStop); }, {0x06, 0x07, 0x00}},
        {"frame-rate place: constant 2 and int 12, SetVariable",
         [](Avm1Assembler& a) {
             a.ConstantPool({"a", "b", "fps"});
             a.Push({Str("fps"), Int(12)});
             a.Op(kOpSetVariable);
         },
         {0x88, 0x0A, 0x00, 0x03, 0x00, 'a', 0, 'b', 0, 'f', 'p', 's', 0,
          0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D, 0x00}},
        {"string outside the pool stays literal",
         [](Avm1Assembler& a) {
             a.ConstantPool({"x"});
             a.Push({Str("y")});
         },
         {0x88, 0x04, 0x00, 0x01, 0x00, 'x', 0, 0x96, 0x03, 0x00, 0x00, 'y', 0, 0x00}},
        {"bool, undefined, register, negative int",
         [](Avm1Assembler& a) { a.Push({Bool(true), Undefined(), Reg(3), Int(-2)}); },
         {0x96, 0x0A, 0x00, 0x05, 0x01, 0x03, 0x04, 0x03, 0x07, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {"double as two halves, high first",
         [](Avm1Assembler& a) { a.Push({Num(1.0)}); },
         {0x96, 0x09, 0x00, 0x06, 0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"constant index above 255 uses the 16-bit form",
         [](Avm1Assembler& a) { a.Push({Const(300)}); },
         {0x96, 0x03, 0x00, 0x09, 0x2C, 0x01, 0x00}},
        {"forward If skips the Play",
         [](Avm1Assembler& a) {
             a.If("over");
             a.Op(kOpPlay);
             a.Label("over");
             a.Op(kOpStop);
         },
         {0x9D, 0x02, 0x00, 0x01, 0x00, 0x06, 0x07, 0x00}},
        {"backward Jump to the start",
         [](Avm1Assembler& a) {
             a.Label("top");
             a.Op(kOpNextFrame);
             a.Jump("top");
         },
         {0x04, 0x99, 0x02, 0x00, 0xFA, 0xFF, 0x00}},
        {"goto, goto2, set target, get url2",
         [](Avm1Assembler& a) {
             a.GotoFrame(1);
             a.GotoFrame2(true);
             a.SetTarget("_level1");
             a.SetTarget("");
             a.GetUrl2(0);
         },
         {0x81, 0x02, 0x00, 0x01, 0x00, 0x9F, 0x01, 0x00, 0x01, 0x8B, 0x08, 0x00, '_', 'l', 'e', 'v', 'e', 'l',
          '1', 0, 0x8B, 0x01, 0x00, 0, 0x9A, 0x01, 0x00, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        Avm1Assembler a;
        c.program(a);
        ByteBuffer out;
        ASSERT_TRUE(a.Finish(out)) << c.what;
        EXPECT_EQ(out, c.bytes) << c.what;
    }
}

TEST(Avm1Assembler, RefusesUnknownLabelsAndFarJumps) {
    Avm1Assembler missing;
    missing.Jump("nowhere");
    ByteBuffer out;
    EXPECT_FALSE(missing.Finish(out));

    Avm1Assembler far;
    far.Jump("end");
    for (int i = 0; i < 11000; ++i) far.Push({Int(i)});  // 8 bytes each
    far.Label("end");
    EXPECT_FALSE(far.Finish(out));
}

}  // namespace
}  // namespace tembrel
