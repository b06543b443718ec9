#pragma once
// A small AVM1 (ActionScript 1/2 bytecode) assembler for the build-time
// template generator: labels become byte offsets for Jump/If, strings found
// in the declared constant pool are pushed by index.
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "swf/swf_records.h"

namespace tembrel {

// Action codes the generator uses.
enum Avm1Op : std::uint8_t {
    kOpEnd = 0x00, kOpNextFrame = 0x04, kOpPlay = 0x06, kOpStop = 0x07,
    kOpSubtract = 0x0B, kOpMultiply = 0x0C, kOpDivide = 0x0D, kOpNot = 0x12,
    kOpPop = 0x17, kOpToInteger = 0x18, kOpGetVariable = 0x1C, kOpSetVariable = 0x1D,
    kOpSetTarget2 = 0x20, kOpGetProperty = 0x22, kOpSetProperty = 0x23, kOpTrace = 0x26,
    kOpModulo = 0x3F, kOpAdd2 = 0x47, kOpLess2 = 0x48, kOpEquals2 = 0x49,
    kOpPushDuplicate = 0x4C, kOpStackSwap = 0x4D, kOpGetMember = 0x4E, kOpSetMember = 0x4F, kOpGreater = 0x67,
    kOpGotoFrame = 0x81, kOpSetTarget = 0x8B, kOpConstantPool = 0x88, kOpStoreRegister = 0x87,
    kOpPush = 0x96, kOpJump = 0x99, kOpGetUrl2 = 0x9A, kOpIf = 0x9D, kOpGotoFrame2 = 0x9F,
};

// One ActionPush operand.
struct PushValue {
    enum class Kind { String, Int, Double, Bool, Null, Undefined, Register, Constant };
    Kind kind;
    std::string text;
    double number = 0;
};
PushValue Str(std::string text);
PushValue Int(std::int32_t value);
PushValue Num(double value);
PushValue Bool(bool value);
PushValue Undefined();
PushValue Reg(std::uint8_t index);
PushValue Const(std::uint16_t index);

class Avm1Assembler {
public:
    // Declares the pool; later Str() operands found in it are pushed by index.
    void ConstantPool(const std::vector<std::string>& strings);
    void Push(std::initializer_list<PushValue> values);
    void Op(std::uint8_t code);                  // an action without body
    void GotoFrame(std::uint16_t frameIndex);    // 0-based; goes and stops
    void GotoFrame2(bool play);                  // frame number from the stack
    void SetTarget(const std::string& target);   // "" returns to the own timeline
    void StoreRegister(std::uint8_t index);
    void GetUrl2(std::uint8_t flags);            // 0: load into the level named on the stack
    void Label(const std::string& name);
    void Jump(const std::string& label);
    void If(const std::string& label);           // jumps when the popped value is true

    // Resolved actions followed by ActionEnd. False when a label is missing
    // or a jump does not fit 16 bits.
    bool Finish(ByteBuffer& actions) const;

private:
    void Record(std::uint8_t code, const ByteBuffer& body);
    void Branch(std::uint8_t code, const std::string& label);

    ByteBuffer code_;
    std::vector<std::string> pool_;
    std::map<std::string, std::size_t> labels_;
    std::vector<std::pair<std::size_t, std::string>> fixups_;  // offset field position, label
};

}  // namespace tembrel
