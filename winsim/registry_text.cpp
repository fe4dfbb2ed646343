// The native registry as .reg text: read ("REGEDIT4" or version 5.00, as
// `reg import` reads them) and written (version 5.00, in creation order).
// What the text holds is kept exactly or the text is refused: nothing is
// cut, merged or replaced by a stand-in character. Only an import keeps
// names and text that the code page cannot hold, as the NT family's
// registry does, in UTF-16; a whole registry loaded from text is saved back
// in ANSI and so refuses them.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "winsim/code_page.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kNotHeld[] = "cannot be held exactly in the code page";
// Windows nests keys at most 512 deep; deeper paths would only make saving slow.
constexpr int kMaxKeyDepth = 512;

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// --- UTF-16 text ------------------------------------------------------------
// Version 5.00 files written by Windows are UTF-16. The reader works on bytes:
// a UTF-16 text is read as UTF-8 (a lone surrogate as its own three bytes),
// whose bytes beyond ASCII never look like a quote, a backslash or a line
// end; names and data are turned back into UTF-16 and then into the code
// page where they fit it exactly.

bool IsUtf16(const std::string& text) {
    return text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
           static_cast<unsigned char>(text[1]) == 0xFE;
}

void AppendUtf8(char16_t unit, std::string* out) {
    if (unit < 0x80) {
        out->push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
        *out += {static_cast<char>(0xC0 | unit >> 6), static_cast<char>(0x80 | (unit & 0x3F))};
    } else {
        *out +=
            {static_cast<char>(0xE0 | unit >> 12), static_cast<char>(0x80 | ((unit >> 6) & 0x3F)),
             static_cast<char>(0x80 | (unit & 0x3F))};
    }
}

// The text the lines are read from: a UTF-16 text as UTF-8, any other as it
// is (a UTF-8 byte-order mark dropped).
std::string ReadableText(const std::string& text) {
    if (!IsUtf16(text)) return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
        AppendUtf8(static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                         static_cast<unsigned char>(text[i + 1]) << 8),
                   &out);
    }
    return out;
}

// The UTF-16 units of what ReadableText made of a UTF-16 text.
std::u16string WideOf(const std::string& utf8) {
    std::u16string wide;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        unsigned unit = size == 1 ? lead : size == 2 ? lead & 0x1F : lead & 0x0F;
        for (size_t k = 1; k < size && i + k < utf8.size(); ++k) {
            unit = unit << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        wide.push_back(static_cast<char16_t>(unit));
        i += size;
    }
    return wide;
}

// `wide` in the code page when it fits exactly; else 0 with the first unit
// that does not fit in *unheld.
bool FitsCodePage(const std::u16string& wide, std::string* ansi, unsigned* unheld) {
    *ansi = NarrowText(wide.data(), wide.size());
    if (WidenText(ansi->data(), ansi->size()) == wide) return true;
    *unheld = 0;
    for (char16_t unit : wide) {
        char bytes[2];
        const size_t size = NarrowWideUnit(unit, bytes);
        if (WidenText(bytes, size) != std::u16string(1, unit)) {
            *unheld = unit;
            break;
        }
    }
    return false;
}

std::string NotHeld(unsigned unit) {
    char text[12];
    snprintf(text, sizeof text, "%04X", unit);
    return std::string("U+") + text + ", which " + kNotHeld;
}

std::u16string UnitsOf(const std::vector<BYTE>& bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return units;
}

// --- Lines ----------------------------------------------------------------------

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

struct Lines {
    const std::string* source;
    size_t at = 0;
    size_t number = 0;  // of the line last read, 1-based
};

// The next line without its end and outer blanks; false past the last one.
bool NextLine(Lines* lines, std::string* line) {
    const std::string& text = *lines->source;
    if (lines->at >= text.size()) return false;
    size_t end = text.find('\n', lines->at);
    if (end == std::string::npos) end = text.size();
    *line = TrimLeft(TrimRight(text.substr(lines->at, end - lines->at)));
    lines->at = end + 1;
    ++lines->number;
    return true;
}

// Whether text[i] starts a double-byte character. Trail bytes are 0x40 and
// above in every double-byte code page, so a quote or a line break never is one.
bool StartsDoubleByte(const std::string& text, size_t i) {
    return IsCodePageLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() &&
           static_cast<BYTE>(text[i + 1]) >= 0x40;
}

// Whether a lead byte stands alone before a character that is written with a
// backslash: read back, the backslash would become its trail byte.
bool HasLoneLeadBeforeEscape(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (StartsDoubleByte(text, i)) {
            ++i;
        } else if (IsCodePageLeadByte(static_cast<BYTE>(text[i])) &&
                   (text[i + 1] == '\n' || text[i + 1] == '\r' || text[i + 1] == '"')) {
            return true;
        }
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at text[*at] == '"' and leaves *at after the
// closing quote. Escapes as `reg import` reads them: \\ \" \n \r, any other
// character after a backslash stands for itself; \0 is refused. Double-byte
// characters are taken whole, so a trail byte never ends the text; a text that
// could not be written back the same (HasLoneLeadBeforeEscape) is refused.
// Text read from a UTF-16 file (`ansi` false) has no double-byte characters.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out, bool ansi) {
    size_t i = *at + 1;
    out->clear();
    while (i < text.size() && text[i] != '"') {
        if (ansi && StartsDoubleByte(text, i)) {
            out->append(text, i, 2);
            i += 2;
            continue;
        }
        if (text[i] == '\\') {
            if (i + 1 >= text.size() || text[i + 1] == '0') return false;
            ++i;
            char c = text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
            out->push_back(c);
            ++i;
            continue;
        }
        out->push_back(text[i++]);
    }
    if (i >= text.size() || (ansi && HasLoneLeadBeforeEscape(*out))) return false;
    *at = i + 1;
    return true;
}

// "01,ab,ff" (blanks allowed around the bytes, one trailing comma); an empty
// list is no bytes.
bool ReadHexBytes(const std::string& text, std::vector<BYTE>* bytes) {
    bytes->clear();
    std::string rest = TrimLeft(TrimRight(text));
    size_t i = 0;
    while (i < rest.size()) {
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
    return true;
}

// --- Reading into a tree ----------------------------------------------------------

// Names as they compare: ASCII letters folded, double-byte characters as they
// are (the rule of RegistryNamesEqual), so that lookups take constant time.
std::string FoldedName(const char* name, size_t length) {
    std::string folded(name, length);
    for (size_t i = 0; i < length; ++i) {
        if (IsCodePageLeadByte(static_cast<BYTE>(folded[i])) && i + 1 < length) {
            ++i;
        } else if (folded[i] >= 'A' && folded[i] <= 'Z') {
            folded[i] = static_cast<char>(folded[i] + 32);
        }
    }
    return folded;
}

// A value's name as it compares: in UTF-16, which names outside the code page
// have too, ASCII letters folded (the rule of FindValueWide).
std::u16string FoldedWideName(std::u16string name) {
    for (char16_t& unit : name) {
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
    }
    return name;
}

struct KeyIndex {
    std::unordered_map<std::string, RegistryKey*> subkeys;
    std::unordered_map<std::u16string, size_t> values;  // position in the key's values
};

struct Reader {
    RegistryKey* roots[kRegistryRootCount] = {};
    bool live = false;           // roots are the registry's own: changes are marked
    bool unicode = false;        // the text came as UTF-16: text in hex is UTF-16 too
    bool wide_values = false;    // names and text the code page cannot hold are kept in UTF-16
    RegistryKey* key = nullptr;  // values go here; nullptr before any key or after [-key]
    bool skipping = false;       // values of a deleted key are ignored
    std::unordered_map<const RegistryKey*, KeyIndex> index;
};

KeyIndex& IndexOf(Reader* reader, RegistryKey* key) {
    auto found = reader->index.find(key);
    if (found != reader->index.end()) return found->second;
    KeyIndex& index = reader->index[key];
    for (const std::unique_ptr<RegistryKey>& child : key->subkeys) {
        // A key with a wide name is found by its ANSI spelling only when that
        // widens back to it, as through the A calls.
        if (child->has_wide_name &&
            FindSubkey(key, child->name.data(), child->name.size()) != child.get()) {
            continue;
        }
        index.subkeys.emplace(FoldedName(child->name.data(), child->name.size()), child.get());
    }
    for (size_t i = 0; i < key->values.size(); ++i) {
        index.values.emplace(FoldedWideName(WideNameText(key->values[i])), i);
    }
    return index;
}

// Forgets `key` and its subtree before they are removed.
void ForgetSubtree(Reader* reader, RegistryKey* key) {
    reader->index.erase(key);
    for (const std::unique_ptr<RegistryKey>& child : key->subkeys) {
        ForgetSubtree(reader, child.get());
    }
}

// Resolves "HKEY_...\a\b" in the reader's tree, creating keys unless `existing_only`.
bool FindKeyPath(Reader* reader, const std::string& path, bool existing_only, RegistryKey** key,
                 std::string* error) {
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    RegistryKey* at = nullptr;
    for (int i = 0; i < kRegistryRootCount; ++i) {
        if (RegistryNamesEqual(root.c_str(), root.size(), kRegistryRoots[i].name)) {
            at = reader->roots[i];
        }
    }
    if (at == nullptr) {
        *error = "unknown root key \"" + root + "\"";
        return false;
    }
    size_t start = slash == std::string::npos ? path.size() : slash + 1;
    for (int depth = 1; start < path.size(); ++depth) {
        if (depth > kMaxKeyDepth) {
            *error = "a key path deeper than " + std::to_string(kMaxKeyDepth) + " keys";
            return false;
        }
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        size_t length = end - start;
        // No call could name a key with a NUL in it.
        if (length == 0 || length > kMaxKeyNameLength ||
            memchr(path.data() + start, '\0', length) != nullptr) {
            *error = "bad key name in \"" + path.substr(0, path.find('\0')) + "\"";
            return false;
        }
        KeyIndex& index = IndexOf(reader, at);
        std::string folded = FoldedName(path.c_str() + start, length);
        auto found = index.subkeys.find(folded);
        RegistryKey* child = found != index.subkeys.end() ? found->second : nullptr;
        if (child == nullptr) {
            if (existing_only) {
                *key = nullptr;
                return true;
            }
            child = AddSubkey(at, path.c_str() + start, length);
            index.subkeys.emplace(folded, child);
            if (reader->live) MarkRegistryChanged();
        }
        at = child;
        start = end + 1;
    }
    *key = at;
    return true;
}

// The ']' that closes a key line: the last one followed by nothing or by a comment.
size_t KeyLineEnd(const std::string& line) {
    for (size_t close = line.rfind(']'); close != std::string::npos && close > 0;
         close = line.rfind(']', close - 1)) {
        std::string rest = TrimLeft(line.substr(close + 1));
        if (rest.empty() || rest[0] == ';') return close;
    }
    return std::string::npos;
}

bool ReadKeyLine(Reader* reader, const std::string& line, std::string* error) {
    size_t close = KeyLineEnd(line);
    if (close == std::string::npos) {
        *error = "a key line must end with ']'";
        return false;
    }
    std::string path = line.substr(1, close - 1);
    bool remove = !path.empty() && path[0] == '-';
    if (remove) path.erase(0, 1);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    if (reader->unicode) {
        // Keys have names in the code page only.
        unsigned unheld = 0;
        std::string ansi;
        if (!FitsCodePage(WideOf(path), &ansi, &unheld)) {
            *error = NotHeld(unheld);
            return false;
        }
        path.swap(ansi);
    }
    RegistryKey* key = nullptr;
    if (!FindKeyPath(reader, path, remove, &key, error)) return false;
    reader->key = remove ? nullptr : key;
    reader->skipping = remove;
    if (remove && key != nullptr) {
        if (key->parent == nullptr) {
            *error = "a root key cannot be deleted";
            return false;
        }
        IndexOf(reader, key->parent).subkeys.erase(FoldedName(key->name.data(), key->name.size()));
        ForgetSubtree(reader, key);
        RemoveSubkey(key);
        if (reader->live) MarkRegistryChanged();
    }
    return true;
}

// Hex data goes on over lines that end with a backslash; comment lines
// between them are skipped.
bool ReadHexContinuation(Lines* lines, std::string* data, std::string* error) {
    while (!data->empty() && data->back() == '\\') {
        data->pop_back();
        std::string next;
        do {
            if (!NextLine(lines, &next)) {
                *error = "hex data ends with a backslash on the last line";
                return false;
            }
        } while (!next.empty() && next[0] == ';');
        *data += next;
    }
    return true;
}

bool ReadDword(const std::string& text, std::vector<BYTE>* data) {
    std::string digits = TrimLeft(text);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (HexDigit(c) < 0) return false;
        value = value * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    for (int i = 0; i < 4; ++i) data->push_back(static_cast<BYTE>(value >> (8 * i)));
    return true;
}

// "hex:", "hex(N):" and the bytes that follow, over continuation lines.
bool ReadHexValue(Reader* reader, Lines* lines, const std::string& rest, DWORD* type,
                  std::vector<BYTE>* data, std::string* error) {
    size_t colon = rest.find(':');
    std::string kind = rest.substr(3, colon == std::string::npos ? 0 : colon - 3);
    *type = REG_BINARY;
    if (!kind.empty()) {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' || kind.size() > 10) {
            *error = "bad hex type";
            return false;
        }
        *type = 0;
        for (size_t i = 1; i + 1 < kind.size(); ++i) {
            if (HexDigit(kind[i]) < 0) {
                *error = "bad hex type";
                return false;
            }
            *type = *type * 16 + static_cast<DWORD>(HexDigit(kind[i]));
        }
    }
    if (colon == std::string::npos) {
        *error = "bad hex data";
        return false;
    }
    std::string bytes = rest.substr(colon + 1);
    if (!ReadHexContinuation(lines, &bytes, error)) return false;
    if (!ReadHexBytes(bytes, data)) {
        *error = "bad hex data";
        return false;
    }
    if (IsTextType(*type) && !reader->unicode) {
        // `reg import` ends text in hex with a NUL when it has none.
        if (!data->empty() && data->back() != 0) data->push_back(0);
    } else if (IsTextType(*type)) {
        if (data->size() % 2 != 0) {
            // Wine's import loses the odd byte (measured: a stray byte is
            // stored after the NUL instead); a whole registry refuses it.
            if (!reader->wide_values) {
                *error = "text data with an odd number of bytes";
                return false;
            }
            data->pop_back();
        }
        // A UTF-16 text ends in a NUL unit.
        if (data->size() >= 2 && ((*data)[data->size() - 2] != 0 || data->back() != 0)) {
            data->push_back(0);
            data->push_back(0);
        }
    }
    return true;
}

// Stores (or with `remove` deletes) a value read: in the code page, or with
// `wide` set in UTF-16 (`wide_name`, and text data as UTF-16LE).
void StoreRead(Reader* reader, std::string name, const std::u16string& wide_name, bool wide,
               DWORD type, std::vector<BYTE> data, bool remove) {
    RegistryKey* key = reader->key;
    KeyIndex& index = IndexOf(reader, key);
    const std::u16string folded = FoldedWideName(wide_name);
    auto found = index.values.find(folded);
    if (remove) {
        if (found == index.values.end()) return;
        size_t gone = found->second;
        key->values.erase(key->values.begin() + static_cast<std::ptrdiff_t>(gone));
        index.values.erase(found);
        for (auto& entry : index.values) {
            if (entry.second > gone) --entry.second;
        }
    } else {
        RegistryValue* value = nullptr;
        if (found != index.values.end()) {
            value = &key->values[found->second];
        } else {
            index.values.emplace(folded, key->values.size());
            key->values.emplace_back();
            value = &key->values.back();
            value->name.swap(name);
            if (wide) {
                value->has_wide_name = true;
                value->wide_name = wide_name;
            }
        }
        if (wide) {
            // A replaced value keeps its name, as the system keeps it.
            StoreWideForms(value, WideNameText(*value), type, data.data(), data.size());
        } else {
            value->type = type;
            value->data.swap(data);
            value->has_wide_data = false;
            value->wide_data.clear();
        }
    }
    if (reader->live) MarkRegistryChanged();
}

bool ReadValueLine(Reader* reader, Lines* lines, const std::string& line, std::string* error) {
    if (reader->key == nullptr && !reader->skipping) {
        *error = "a value before the first key";
        return false;
    }
    std::string name;
    size_t at = 0;
    if (line[0] == '@') {
        at = 1;
    } else if (!ReadQuoted(line, &at, &name, !reader->unicode)) {
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
        std::string after;
        if (ReadQuoted(rest, &end, &text, !reader->unicode)) after = TrimLeft(rest.substr(end));
        if (end == 0 || (!after.empty() && after[0] != ';')) {
            *error = "bad string data";
            return false;
        }
        if (reader->unicode) {
            for (char16_t unit : WideOf(text) + u'\0') {
                data.push_back(static_cast<BYTE>(unit & 0xFF));
                data.push_back(static_cast<BYTE>(unit >> 8));
            }
        } else {
            data.assign(text.begin(), text.end());
            data.push_back(0);
        }
    } else if (rest.compare(0, 6, "dword:") == 0) {
        type = REG_DWORD;
        if (!ReadDword(rest.substr(6), &data)) {
            *error = "bad dword data";
            return false;
        }
    } else if (rest.compare(0, 3, "hex") == 0) {
        if (!ReadHexValue(reader, lines, rest, &type, &data, error)) return false;
    } else {
        *error = "unknown kind of data";
        return false;
    }
    if (reader->skipping) return true;
    if (!reader->unicode) {
        const std::u16string wide_name = WidenText(name.data(), name.size());
        StoreRead(reader, std::move(name), wide_name, false, type, std::move(data), remove);
        return true;
    }
    // From a UTF-16 text: in the code page where the name and the text fit it
    // exactly, else (in an import) in UTF-16, as the NT family keeps them.
    const std::u16string wide_name = WideOf(name);
    std::string ansi_name;
    unsigned unheld = 0;
    bool fits = FitsCodePage(wide_name, &ansi_name, &unheld);
    std::vector<BYTE> ansi_data = data;
    if (fits && IsTextType(type)) {
        std::string narrow;
        fits = FitsCodePage(UnitsOf(data), &narrow, &unheld);
        ansi_data.assign(narrow.begin(), narrow.end());
    }
    if (!fits && !reader->wide_values) {
        *error = NotHeld(unheld);
        return false;
    }
    StoreRead(reader, fits ? ansi_name : std::string(), wide_name, !fits, type,
              fits ? std::move(ansi_data) : std::move(data), remove);
    return true;
}

// Reads `text` into reader->roots; false with "line N: ..." in *error.
bool ReadRegistryText(Reader* reader, const std::string& text, std::string* error) {
    const std::string readable = ReadableText(text);
    // Text data in hex is UTF-16 in a UTF-16 file and ANSI bytes in any
    // other, whatever the header says: Wine's `reg import` reads it so.
    reader->unicode = IsUtf16(text);
    Lines lines{&readable};
    bool have_header = false;
    std::string line;
    std::string message;
    while (message.empty() && NextLine(&lines, &line)) {
        size_t first_line = lines.number;
        if (!have_header) {
            if (line.empty()) continue;
            if (line != kHeader4 && line != kHeader5) {
                message =
                    "the first line is neither \"REGEDIT4\" nor \"" + std::string(kHeader5) + "\"";
            }
            have_header = true;
        } else if (line.empty() || line[0] == ';') {
            continue;  // a comment ends at its line, backslash or not
        } else if (line[0] == '[') {
            ReadKeyLine(reader, line, &message);
        } else if (line[0] == '@' || line[0] == '"') {
            ReadValueLine(reader, &lines, line, &message);
        } else {
            message = "unexpected text";
        }
        if (!message.empty()) message = "line " + std::to_string(first_line) + ": " + message;
    }
    if (message.empty() && !have_header) message = "no \"REGEDIT4\" or version 5.00 header";
    if (message.empty() && reader->unicode && text.size() % 2 != 0) {
        message = "the UTF-16 text ends in half a character";
    }
    if (message.empty()) return true;
    if (error != nullptr) *error = message;
    return false;
}

// --- Writing ----------------------------------------------------------------------

// The inverse of ReadQuoted; a NUL stays a raw byte, which the reader keeps.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (StartsDoubleByte(text, i)) {
            quoted.append(text, i++, 2);
        } else if (c == '\\' || c == '"') {
            quoted += {'\\', c};
        } else if (c == '\n' || c == '\r') {
            quoted += {'\\', c == '\n' ? 'n' : 'r'};
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "\"";
}

std::string HexList(const std::vector<BYTE>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string list;
    list.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) list.push_back(',');
        list.push_back(kDigits[bytes[i] >> 4]);
        list.push_back(kDigits[bytes[i] & 15]);
    }
    return list;
}

// A REG_SZ that reads back unchanged from a quoted string: one final NUL and
// no other.
bool PlainString(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0) return false;
    return memchr(data.data(), 0, data.size() - 1) == nullptr;
}

// Text stored without its final NUL (only RegSetValueExA makes such values)
// is written in hex, and a reader adds the NUL as `reg import` does.
void WriteValue(const RegistryValue& value, std::string* out) {
    *out += value.name.empty() ? "@" : Quoted(value.name);
    *out += "=";
    char prefix[24];
    if (value.type == REG_SZ && PlainString(value.data) &&
        !HasLoneLeadBeforeEscape(std::string(value.data.begin(), value.data.end()))) {
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
    RegistryKey roots[kRegistryRootCount];
    Reader reader;
    for (int i = 0; i < kRegistryRootCount; ++i) reader.roots[i] = &roots[i];
    if (!ReadRegistryText(&reader, text, error)) return false;
    ReplaceRegistry(roots);
    return true;
}

bool ImportRegistryText(const std::string& text, std::string* error) {
    DWORD code = 0;
    if (!RegistryFileReady(&code)) {
        if (error != nullptr) *error = "the registry file could not be read";
        return false;
    }
    Reader reader;
    for (int i = 0; i < kRegistryRootCount; ++i) reader.roots[i] = RegistryRootKey(i);
    reader.live = true;
    reader.wide_values = true;
    return ReadRegistryText(&reader, text, error);
}

std::string SaveRegistryText() {
    std::string out = std::string(kHeader5) + "\n\n";
    for (int i = 0; i < kRegistryRootCount; ++i) {
        WriteKey(*RegistryRootKey(i), kRegistryRoots[i].name, true, &out);
    }
    return out;
}

}  // namespace winsim
