#pragma once
// The options key as the engine sees it: named values of three kinds, kept
// apart as the registry keeps REG_DWORD, REG_SZ and REG_BINARY apart. Reads
// and writes happen inside an open session, like an open registry key.
// A fourth kind, untagged text, is what a person writes into a settings file
// by hand: the reader takes it as a number or a text, as the name calls for.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tembrel {

enum class StoredType { Dword, String, Binary, Untagged };

struct StoredValue {
    StoredType type = StoredType::Dword;
    std::uint32_t dword = 0;
    std::string text;
    std::vector<std::uint8_t> bytes;

    static StoredValue Dword(std::uint32_t v) { return {StoredType::Dword, v, {}, {}}; }
    static StoredValue String(std::string s) { return {StoredType::String, 0, std::move(s), {}}; }
    static StoredValue Binary(std::vector<std::uint8_t> b) { return {StoredType::Binary, 0, {}, std::move(b)}; }
    static StoredValue Untagged(std::string s) { return {StoredType::Untagged, 0, std::move(s), {}}; }
    bool operator==(const StoredValue&) const = default;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens the key for reading; false when it does not exist or cannot be read.
    virtual bool OpenForReading() = 0;
    // Creates or opens the key for writing; false when that is impossible.
    virtual bool OpenForWriting() = 0;
    // The value stored under name, or nothing when it is missing or unreadable.
    virtual std::optional<StoredValue> Get(const std::string& name) const = 0;
    // Only inside a writing session.
    virtual void Set(const std::string& name, const StoredValue& value) = 0;
    // Ends the session; writes reach the medium here.
    virtual void Close() = 0;
};

}  // namespace tembrel
