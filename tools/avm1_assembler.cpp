#include "tools/avm1_assembler.h"

#include <cstring>

namespace tembrel {

PushValue Str(std::string text) { return {PushValue::Kind::String, std::move(text)}; }
PushValue Int(std::int32_t value) { return {PushValue::Kind::Int, {}, static_cast<double>(value)}; }
PushValue Num(double value) { return {PushValue::Kind::Double, {}, value}; }
PushValue Bool(bool value) { return {PushValue::Kind::Bool, {}, value ? 1.0 : 0.0}; }
PushValue Undefined() { return {PushValue::Kind::Undefined, {}}; }
PushValue Reg(std::uint8_t index) { return {PushValue::Kind::Register, {}, static_cast<double>(index)}; }
PushValue Const(std::uint16_t index) { return {PushValue::Kind::Constant, {}, static_cast<double>(index)}; }

namespace {

void PutString(ByteBuffer& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void PutConstantIndex(ByteBuffer& out, std::uint16_t index) {
    if (index < 256) {
        PutByte(out, 8);
        PutByte(out, static_cast<std::uint8_t>(index));
    } else {
        PutByte(out, 9);
        Put16(out, index);
    }
}

}  // namespace

void Avm1Assembler::Record(std::uint8_t code, const ByteBuffer& body) {
    PutByte(code_, code);
    if (code >= 0x80) {
        Put16(code_, static_cast<std::uint16_t>(body.size()));
        code_.insert(code_.end(), body.begin(), body.end());
    }
}

void Avm1Assembler::ConstantPool(const std::vector<std::string>& strings) {
    ByteBuffer body;
    Put16(body, static_cast<std::uint16_t>(strings.size()));
    for (const auto& s : strings) PutString(body, s);
    Record(kOpConstantPool, body);
    pool_ = strings;
}

void Avm1Assembler::Push(std::initializer_list<PushValue> values) {
    ByteBuffer body;
    for (const auto& v : values) {
        switch (v.kind) {
        case PushValue::Kind::String: {
            std::size_t i = 0;
            while (i < pool_.size() && pool_[i] != v.text) ++i;
            if (i < pool_.size()) {
                PutConstantIndex(body, static_cast<std::uint16_t>(i));
            } else {
                PutByte(body, 0);
                PutString(body, v.text);
            }
            break;
        }
        case PushValue::Kind::Int:
            PutByte(body, 7);
            Put32(body, static_cast<std::uint32_t>(static_cast<std::int32_t>(v.number)));
            break;
        case PushValue::Kind::Double: {
            // AVM1 stores doubles as two little-endian 32-bit halves, high half first.
            std::uint64_t bits;
            std::memcpy(&bits, &v.number, sizeof bits);
            PutByte(body, 6);
            Put32(body, static_cast<std::uint32_t>(bits >> 32));
            Put32(body, static_cast<std::uint32_t>(bits));
            break;
        }
        case PushValue::Kind::Bool:
            PutByte(body, 5);
            PutByte(body, v.number != 0 ? 1 : 0);
            break;
        case PushValue::Kind::Null: PutByte(body, 2); break;
        case PushValue::Kind::Undefined: PutByte(body, 3); break;
        case PushValue::Kind::Register:
            PutByte(body, 4);
            PutByte(body, static_cast<std::uint8_t>(v.number));
            break;
        case PushValue::Kind::Constant:
            PutConstantIndex(body, static_cast<std::uint16_t>(v.number));
            break;
        }
    }
    Record(kOpPush, body);
}

void Avm1Assembler::Op(std::uint8_t code) { Record(code, {}); }

void Avm1Assembler::GotoFrame(std::uint16_t frameIndex) {
    ByteBuffer body;
    Put16(body, frameIndex);
    Record(kOpGotoFrame, body);
}

void Avm1Assembler::GotoFrame2(bool play) { Record(kOpGotoFrame2, {static_cast<std::uint8_t>(play ? 1 : 0)}); }

void Avm1Assembler::SetTarget(const std::string& target) {
    ByteBuffer body;
    PutString(body, target);
    Record(kOpSetTarget, body);
}

void Avm1Assembler::StoreRegister(std::uint8_t index) { Record(kOpStoreRegister, {index}); }

void Avm1Assembler::GetUrl2(std::uint8_t flags) { Record(kOpGetUrl2, {flags}); }

void Avm1Assembler::Label(const std::string& name) { labels_[name] = code_.size(); }

void Avm1Assembler::Branch(std::uint8_t code, const std::string& label) {
    Record(code, {0, 0});
    fixups_.emplace_back(code_.size() - 2, label);
}

void Avm1Assembler::Jump(const std::string& label) { Branch(kOpJump, label); }
void Avm1Assembler::If(const std::string& label) { Branch(kOpIf, label); }

bool Avm1Assembler::Finish(ByteBuffer& actions) const {
    actions = code_;
    for (const auto& [at, label] : fixups_) {
        auto found = labels_.find(label);
        if (found == labels_.end()) return false;
        // Offsets count from the end of the branch action.
        long offset = static_cast<long>(found->second) - static_cast<long>(at + 2);
        if (offset < -32768 || offset > 32767) return false;
        auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(offset));
        actions[at] = static_cast<std::uint8_t>(raw & 0xFF);
        actions[at + 1] = static_cast<std::uint8_t>(raw >> 8);
    }
    actions.push_back(kOpEnd);
    return true;
}

}  // namespace tembrel
