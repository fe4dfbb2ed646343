// The .reg text of one undo item, for arbitrary names, types and data in
// both file forms, read back by the stand-in's importer (which reads as
// Wine's `reg import` does): the value comes back with its name, type and
// bytes, but for the importer's documented limits on text given in hex (a
// missing final NUL is added; UTF-16 text loses an odd last byte). A name
// the writer refuses is one no .reg file of that form can hold.
//
// Input: a flags byte (1: version 5.00, else REGEDIT4; 2: a double-byte code
// page), the type (4 bytes, little-endian), the name's length in bytes (2
// bytes), the name (ANSI bytes, or UTF-16LE units), then the data.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "registry/reg_text.h"
#include "winsim/test_hooks.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Fuzz";
BYTE text_bytes[1 << 20];

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Whether an ANSI name holds a lead byte right before a character written
// with a backslash: the importer would take that backslash for its trail byte.
bool HasLeadBeforeEscape(const std::string& name) {
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        const BYTE next = static_cast<BYTE>(name[i + 1]);
        if (!IsDBCSLeadByte(static_cast<BYTE>(name[i]))) continue;
        if (next == '"' || next == '\r' || next == '\n') return true;
        if (next >= 0x40) ++i;  // a whole double-byte character
    }
    return false;
}

// What the importer stores for `data` written as a value of `type` (text
// written as "text" has its NUL and whole units, and stays as it is).
std::string Imported(bool wide, DWORD type, std::string data) {
    if (!IsText(type)) return data;
    if (!wide) {
        if (!data.empty() && data.back() != '\0') data.push_back('\0');
        return data;
    }
    if (data.size() % 2 != 0) data.pop_back();
    if (data.size() >= 2 && (data[data.size() - 2] != '\0' || data.back() != '\0')) {
        data.append(2, '\0');
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 7) return 0;
    const bool wide = (input[0] & 1) != 0;
    winsim::Reset();
    if ((input[0] & 2) != 0) winsim::SetDbcsLeadBytes(0x81, 0x9f);
    DWORD type = 0;
    memcpy(&type, input + 1, 4);
    size_t name_size = static_cast<size_t>(input[5] | input[6] << 8);
    if (wide) name_size &= ~static_cast<size_t>(1);
    if (name_size > size - 7) return 0;
    const std::string name(reinterpret_cast<const char*>(input + 7), name_size);
    const std::string data(reinterpret_cast<const char*>(input + 7 + name_size),
                           size - 7 - name_size);
    std::u16string wide_name(name_size / 2, u'\0');
    memcpy(&wide_name[0], name.data(), name_size & ~static_cast<size_t>(1));

    RegText text;
    StartRegText(&text, wide ? RegForm::kVersion5 : RegForm::kRegedit4, text_bytes,
                 sizeof text_bytes);
    const RegName reg_name =
        wide ? RegName{nullptr, reinterpret_cast<const WCHAR*>(wide_name.data()), wide_name.size()}
             : RegName{name.data(), nullptr, name.size()};
    PutRegHeader(&text);
    PutRegComment(&text, "2026-12-08, 09:05:03,   ", "delete registry value", &reg_name, kKey);
    PutRegKey(&text, kKey);
    PutRegValue(&text, reg_name, type, reinterpret_cast<const BYTE*>(data.data()),
                static_cast<DWORD>(data.size()));
    const bool has_nul =
        wide ? wide_name.find(u'\0') != std::u16string::npos : name.find('\0') != std::string::npos;
    if (text.error != 0) {
        Require(text.error == ERROR_INVALID_DATA, "the writer failed with another code");
        Require(has_nul || (!wide && HasLeadBeforeEscape(name)),
                "a name that a .reg file can hold was refused");
        return 0;
    }
    Require(!has_nul, "a name holding a NUL was written");

    std::string error;
    const std::string file(reinterpret_cast<const char*>(text_bytes), text.length);
    if (!winsim::ImportRegistryText(file, &error)) FuzzFailure(("not imported: " + error).c_str());
    HKEY key = nullptr;
    Require(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Fuzz", &key) == ERROR_SUCCESS,
            "the item's key was not created");
    static BYTE read[1 << 17];
    DWORD read_type = 0;
    DWORD read_size = sizeof read;
    std::string read_name;
    if (wide) {
        static WCHAR units[1 << 15];
        DWORD count = sizeof units / sizeof units[0];
        Require(RegEnumValueW(key, 0, units, &count, nullptr, &read_type, read, &read_size) == 0,
                "the value was not imported");
        read_name.assign(reinterpret_cast<const char*>(units), count * 2);
    } else {
        static char bytes[1 << 16];
        DWORD count = sizeof bytes;
        Require(RegEnumValueA(key, 0, bytes, &count, nullptr, &read_type, read, &read_size) == 0,
                "the value was not imported");
        read_name.assign(bytes, count);
    }
    DWORD values = 0;
    Require(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) == 0 &&
                values == 1,
            "another number of values was imported");
    RegCloseKey(key);
    Require(read_name == name.substr(0, wide ? wide_name.size() * 2 : name.size()),
            "the name came back otherwise");
    Require(read_type == type, "the type came back otherwise");
    Require(
        std::string(reinterpret_cast<const char*>(read), read_size) == Imported(wide, type, data),
        "the data came back otherwise");
    return 0;
}
