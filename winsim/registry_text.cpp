// The native registry as .reg text: read ("REGEDIT4" or version 5.00, as
// `reg export` writes them) and written (version 5.00, in creation order).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "winsim/test_hooks.h"
#include "winsim/registry_store.h"

namespace winsim {
namespace {

const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Version 5.00 files written by Windows are UTF-16; their characters become
// ANSI bytes here (anything past Latin-1 becomes '?').
bool IsUtf16(const std::string& text) {
    return text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
           static_cast<unsigned char>(text[1]) == 0xFE;
}

std::string Narrow(const std::string& text) {
    if (IsUtf16(text)) {
        std::string narrow;
        for (size_t i = 2; i + 1 < text.size(); i += 2) {
            unsigned unit = static_cast<unsigned char>(text[i]) |
                            static_cast<unsigned>(static_cast<unsigned char>(text[i + 1])) << 8;
            narrow.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
        }
        return narrow;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) return text.substr(3);
    return text;
}

std::string TrimRight(const std::string& line) {
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) {
        --end;
    }
    return line.substr(0, end);
}

std::string TrimLeft(const std::string& line) {
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    return line.substr(start);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text with \\ and \" escapes starting at text[*at] == '"';
// leaves *at after the closing quote.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    size_t i = *at + 1;
    out->clear();
    while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return false;
            ++i;
        }
        out->push_back(text[i++]);
    }
    if (i >= text.size()) return false;
    *at = i + 1;
    return true;
}

// "01,ab,ff" (blanks allowed around the bytes); an empty list is no bytes.
bool ReadHexBytes(const std::string& text, std::vector<BYTE>* bytes) {
    bytes->clear();
    std::string rest = TrimLeft(TrimRight(text));
    if (rest.empty()) return true;
    size_t i = 0;
    while (true) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
        int value = 0, digits = 0;
        while (i < rest.size() && HexDigit(rest[i]) >= 0 && digits < 2) {
            value = value * 16 + HexDigit(rest[i++]);
            ++digits;
        }
        if (digits == 0) return false;
        bytes->push_back(static_cast<BYTE>(value));
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
        if (i == rest.size()) return true;
        if (rest[i++] != ',') return false;
    }
}

struct Reader {
    RegistryKey roots[kRegistryRootCount];
    bool unicode = false;        // the text came as UTF-16: text in hex is UTF-16 too
    RegistryKey* key = nullptr;  // values go here; nullptr before any key or after [-key]
    bool skipping = false;       // values of a deleted key are ignored
};

// Resolves "HKEY_...\a\b" in the reader's tree, creating keys unless `existing_only`.
bool FindKeyPath(Reader* reader, const std::string& path, bool existing_only, RegistryKey** key,
                 std::string* error) {
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    RegistryKey* at = nullptr;
    for (int i = 0; i < kRegistryRootCount; ++i) {
        if (RegistryNamesEqual(root.c_str(), root.size(), kRegistryRoots[i].name)) {
            at = &reader->roots[i];
        }
    }
    if (at == nullptr) {
        *error = "unknown root key \"" + root + "\"";
        return false;
    }
    size_t start = slash == std::string::npos ? path.size() : slash + 1;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        size_t length = end - start;
        if (length == 0 || length > kMaxKeyNameLength) {
            *error = "bad key name in \"" + path + "\"";
            return false;
        }
        RegistryKey* child = FindSubkey(at, path.c_str() + start, length);
        if (child == nullptr) {
            if (existing_only) {
                *key = nullptr;
                return true;
            }
            child = AddSubkey(at, path.c_str() + start, length);
        }
        at = child;
        start = end + 1;
    }
    *key = at;
    return true;
}

bool ReadKeyLine(Reader* reader, const std::string& line, std::string* error) {
    if (line.back() != ']') {
        *error = "a key line must end with ']'";
        return false;
    }
    std::string path = line.substr(1, line.size() - 2);
    bool remove = !path.empty() && path[0] == '-';
    if (remove) path.erase(0, 1);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    RegistryKey* key = nullptr;
    if (!FindKeyPath(reader, path, remove, &key, error)) return false;
    reader->key = remove ? nullptr : key;
    reader->skipping = remove;
    if (remove && key != nullptr) {
        if (key->parent == nullptr) {
            *error = "a root key cannot be deleted";
            return false;
        }
        RemoveSubkey(key);
    }
    return true;
}

// UTF-16LE text data of a UTF-16 file back to ANSI bytes.
bool NarrowTextData(std::vector<BYTE>* bytes) {
    if (bytes->size() % 2 != 0) return false;
    std::vector<BYTE> narrow;
    for (size_t i = 0; i < bytes->size(); i += 2) {
        unsigned unit = (*bytes)[i] | static_cast<unsigned>((*bytes)[i + 1]) << 8;
        narrow.push_back(unit < 0x100 ? static_cast<BYTE>(unit) : static_cast<BYTE>('?'));
    }
    bytes->swap(narrow);
    return true;
}

bool ReadValueLine(Reader* reader, const std::string& line, std::string* error) {
    if (reader->key == nullptr && !reader->skipping) {
        *error = "a value before the first key";
        return false;
    }
    std::string name;
    size_t at = 0;
    if (line[0] == '@') {
        at = 1;
    } else if (!ReadQuoted(line, &at, &name)) {
        *error = "bad value name";
        return false;
    }
    std::string rest = TrimLeft(line.substr(at));
    if (rest.empty() || rest[0] != '=') {
        *error = "'=' expected after the value name";
        return false;
    }
    rest = TrimLeft(rest.substr(1));
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    bool remove = false;
    if (rest == "-") {
        remove = true;
    } else if (!rest.empty() && rest[0] == '"') {
        std::string text;
        size_t end = 0;
        if (!ReadQuoted(rest, &end, &text) || !TrimLeft(rest.substr(end)).empty()) {
            *error = "bad string data";
            return false;
        }
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else if (rest.compare(0, 6, "dword:") == 0) {
        std::string digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8) {
            *error = "bad dword data";
            return false;
        }
        uint32_t value = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                *error = "bad dword data";
                return false;
            }
            value = value * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        type = REG_DWORD;
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<BYTE>(value >> (8 * i)));
    } else if (rest.compare(0, 3, "hex") == 0) {
        size_t colon = rest.find(':');
        std::string kind = rest.substr(3, colon == std::string::npos ? 0 : colon - 3);
        type = REG_BINARY;
        if (!kind.empty()) {
            if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' || kind.size() > 10) {
                *error = "bad hex type";
                return false;
            }
            type = 0;
            for (size_t i = 1; i + 1 < kind.size(); ++i) {
                if (HexDigit(kind[i]) < 0) {
                    *error = "bad hex type";
                    return false;
                }
                type = type * 16 + static_cast<DWORD>(HexDigit(kind[i]));
            }
        }
        if (colon == std::string::npos || !ReadHexBytes(rest.substr(colon + 1), &data)) {
            *error = "bad hex data";
            return false;
        }
        if (reader->unicode && IsTextType(type) && !NarrowTextData(&data)) {
            *error = "text data with an odd number of bytes";
            return false;
        }
    } else {
        *error = "unknown kind of data";
        return false;
    }
    if (reader->skipping) return true;
    if (remove) {
        RegistryValue* value = FindValue(reader->key, name.c_str());
        if (value != nullptr)
            reader->key->values.erase(reader->key->values.begin() +
                                      (value - reader->key->values.data()));
        return true;
    }
    StoreValue(reader->key, name.c_str(), type, data.data(), data.size());
    return true;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

std::string HexList(const std::vector<BYTE>& bytes) {
    std::string list;
    char byte[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(byte, sizeof byte, "%s%02x", i == 0 ? "" : ",", bytes[i]);
        list += byte;
    }
    return list;
}

// A REG_SZ that reads back unchanged from a quoted string: one final NUL,
// no other NUL and no line break.
bool PlainString(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') return false;
    }
    return true;
}

void WriteValue(const RegistryValue& value, std::string* out) {
    *out += value.name.empty() ? "@" : Quoted(value.name);
    *out += "=";
    char prefix[24];
    if (value.type == REG_SZ && PlainString(value.data)) {
        *out += Quoted(std::string(value.data.begin(), value.data.end() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t dword = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                         static_cast<uint32_t>(value.data[3]) << 24;
        snprintf(prefix, sizeof prefix, "dword:%08x", dword);
        *out += prefix;
    } else if (value.type == REG_BINARY) {
        *out += "hex:" + HexList(value.data);
    } else {
        snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        *out += prefix;
        *out += HexList(value.data);  // the text is ANSI, and so is text in hex
    }
    *out += "\n";
}

// A key's header is left out when its values are none and its subkeys' headers
// bring it back anyway; a root appears only with values.
void WriteKey(const RegistryKey& key, const std::string& path, bool root, std::string* out) {
    if (!key.values.empty() || (!root && key.subkeys.empty())) {
        *out += "[" + path + "]\n";
        for (const RegistryValue& value : key.values) WriteValue(value, out);
        *out += "\n";
    }
    for (const std::unique_ptr<RegistryKey>& child : key.subkeys) {
        WriteKey(*child, path + "\\" + child->name, false, out);
    }
}

}  // namespace

bool LoadRegistryText(const std::string& text, std::string* error) {
    std::string narrow = Narrow(text);
    Reader reader;
    // Text data in hex is UTF-16 in a UTF-16 file and ANSI bytes in any
    // other, whatever the header says: Wine's `reg import` reads it so.
    reader.unicode = IsUtf16(text);
    bool have_header = false;
    size_t line_number = 0;
    size_t start = 0;
    std::string message;
    while (start < narrow.size()) {
        size_t end = narrow.find('\n', start);
        if (end == std::string::npos) end = narrow.size();
        ++line_number;
        size_t first_line = line_number;
        std::string line = TrimLeft(TrimRight(narrow.substr(start, end - start)));
        start = end + 1;
        // Hex data goes on over lines that end with a backslash.
        while (!line.empty() && line.back() == '\\' && line[0] != '[' && start < narrow.size()) {
            end = narrow.find('\n', start);
            if (end == std::string::npos) end = narrow.size();
            ++line_number;
            line.pop_back();
            line += TrimLeft(TrimRight(narrow.substr(start, end - start)));
            start = end + 1;
        }
        if (!have_header) {
            if (line.empty()) continue;
            if (line != kHeader4 && line != kHeader5) {
                message =
                    "the first line is neither \"REGEDIT4\" nor \"" + std::string(kHeader5) + "\"";
            }
            have_header = true;
        } else if (line.empty() || line[0] == ';') {
            continue;
        } else if (line[0] == '[') {
            ReadKeyLine(&reader, line, &message);
        } else if (line[0] == '@' || line[0] == '"') {
            ReadValueLine(&reader, line, &message);
        } else {
            message = "unexpected text";
        }
        if (!message.empty()) {
            if (error != nullptr) *error = "line " + std::to_string(first_line) + ": " + message;
            return false;
        }
    }
    if (!have_header) {
        if (error != nullptr) *error = "no \"REGEDIT4\" or version 5.00 header";
        return false;
    }
    ReplaceRegistry(reader.roots);
    return true;
}

std::string SaveRegistryText() {
    std::string out = std::string(kHeader5) + "\n\n";
    for (int i = 0; i < kRegistryRootCount; ++i) {
        WriteKey(*RegistryRootKey(i), kRegistryRoots[i].name, true, &out);
    }
    return out;
}

}  // namespace winsim
