// Code page 1252 as Wine converts it: the A calls use its best-fit table, so
// text they read back may hold a letter that the stored text did not.
#include "winsim/code_page.h"

#include <cstdint>
#include <cstring>

#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/win32_api.h"

namespace winsim {
namespace {

// What code page 1252 puts at 0x80..0x9F; the five bytes it leaves undefined
// stand for the C1 controls of the same number, as under Wine.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Best fits for U+0100..U+01FF, measured with Wine's WideCharToMultiByte for
// code page 1252; '?' has none.
const char kLatinExtendedFits[] =
    "AaAaAaCcCcCcCcDd"
    "\xD0"
    "dEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "Ii??JjKk?LlLlLl?"
    "?LlNnNnNn???OoOo"
    "Oo\x8C\x9CRrRrRrSsSsSs"
    "\x8A\x9ATtTtTtUuUuUuUu"
    "UuUuWwYy\x9FZzZz\x8E\x9E?"
    "b????????\xD0??????"
    "?\x83\x83????I??l????O"
    "Oo?????????t??TU"
    "u?????z?????????"
    // Split so that the compiler does not read "??!" as a trigraph.
    "|??"
    "!?????????AaI"
    "iOoUuUuUuUuUu?Aa"
    "????GgGgKkOoOo??"
    "j???????????????";
static_assert(sizeof kLatinExtendedFits == 0x100 + 1, "one byte for each of U+0100..U+01FF");

// Double-byte pairs widen into this block, one character per pair.
constexpr char16_t kPairBase = 0x4E00;

}  // namespace

size_t WidenAnsiChar(const char* text, size_t left, char16_t* unit) {
    const unsigned char byte = static_cast<unsigned char>(text[0]);
    if (left >= 2 && IsCodePageLeadByte(byte)) {
        const unsigned char trail = static_cast<unsigned char>(text[1]);
        *unit = static_cast<char16_t>(kPairBase + ((byte & 0x7F) << 8 | trail));
        return 2;
    }
    *unit = byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
    return 1;
}

size_t NarrowWideUnit(char16_t unit, char* out) {
    if (unit >= kPairBase && unit < kPairBase + 0x8000) {
        const unsigned lead = 0x80 | ((unit - kPairBase) >> 8);
        if (IsCodePageLeadByte(static_cast<BYTE>(lead))) {
            out[0] = static_cast<char>(lead);
            out[1] = static_cast<char>((unit - kPairBase) & 0xFF);
            return 2;
        }
    }
    char byte = '?';
    if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) {
        byte = static_cast<char>(unit);
    } else if (unit >= 0xFF01 && unit <= 0xFF5E) {
        byte = static_cast<char>(unit - 0xFEE0);  // full-width forms of ASCII
    } else {
        for (int i = 0; i < 32; ++i) {
            if (kHighControls[i] == unit) byte = static_cast<char>(0x80 + i);
        }
        if (byte == '?' && unit >= 0x100 && unit < 0x200) byte = kLatinExtendedFits[unit - 0x100];
    }
    // A byte that now leads a double-byte character cannot stand alone.
    if (IsCodePageLeadByte(static_cast<BYTE>(byte))) byte = '?';
    out[0] = byte;
    return 1;
}

std::u16string WidenText(const char* text, size_t length) {
    std::u16string wide;
    for (size_t at = 0; at < length;) {
        char16_t unit = 0;
        at += WidenAnsiChar(text + at, length - at, &unit);
        wide += unit;
    }
    return wide;
}

std::string NarrowText(const char16_t* wide, size_t length) {
    std::string narrow;
    for (size_t i = 0; i < length; ++i) {
        char bytes[2];
        narrow.append(bytes, NarrowWideUnit(wide[i], bytes));
    }
    return narrow;
}

std::string HostPath(const char16_t* wide) {
    std::string path;
    for (size_t i = 0; wide[i] != 0; ++i) {
        uint32_t code = wide[i];
        if (code >= 0xD800 && code < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            path += static_cast<char>(code);
        } else if (code < 0x800) {
            path += {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
        } else if (code < 0x10000) {
            path += {static_cast<char>(0xE0 | code >> 12),
                     static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (code & 0x3F))};
        } else {
            path += {static_cast<char>(0xF0 | code >> 18),
                     static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
                     static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (code & 0x3F))};
        }
    }
    return path;
}

std::u16string WidePath(const std::string& host) {
    std::u16string wide;
    for (size_t i = 0; i < host.size();) {
        const unsigned char lead = static_cast<unsigned char>(host[i]);
        const size_t size = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = size == 1 ? lead : lead & (0x7F >> size);
        for (size_t k = 1; k < size && i + k < host.size(); ++k) {
            code = code << 6 | (static_cast<unsigned char>(host[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            code = 0xDC00 + ((code - 0x10000) & 0x3FF);
        }
        wide += static_cast<char16_t>(code);
        i += size;
    }
    return wide;
}

}  // namespace winsim

// Windows' rules: a length of -1 takes the text with its NUL, 0 is refused; a
// capacity of 0 asks for the units needed; a capacity too small fails with
// ERROR_INSUFFICIENT_BUFFER. Errors come back through GetLastError.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int text_length, LPWSTR wide,
                        int wide_capacity) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "MultiByteToWideChar", "%u, %d", code_page, text_length)) {
        SetLastError(fault);
        return 0;
    }
    if (code_page != CP_ACP || flags != 0 || text == nullptr || text_length == 0 ||
        text_length < -1 || wide_capacity < 0 || (wide_capacity > 0 && wide == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = text_length == -1 ? strlen(text) + 1 : static_cast<size_t>(text_length);
    size_t units = 0;
    for (size_t at = 0; at < length; ++units) {
        char16_t unit = 0;
        at += winsim::WidenAnsiChar(text + at, length - at, &unit);
        if (wide_capacity == 0) continue;
        if (units >= static_cast<size_t>(wide_capacity)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        wide[units] = unit;
    }
    return static_cast<int>(units);
}

// Best-fit mapping, as the A calls; a length of -1 takes the text with its
// NUL; a capacity of 0 asks for the bytes needed; too small a capacity fails
// with ERROR_INSUFFICIENT_BUFFER. Only what the program asks for is accepted:
// CP_ACP, and no flag but WC_NO_BEST_FIT_CHARS, with which a unit that does
// not come back from its narrowing becomes the default character ('?' when
// none is given).
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int wide_length, LPSTR text,
                        int text_capacity, LPCSTR default_char, BOOL* used_default_char) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "WideCharToMultiByte", "%u, %d", code_page, wide_length)) {
        SetLastError(fault);
        return 0;
    }
    if (code_page != CP_ACP || (flags & ~WC_NO_BEST_FIT_CHARS) != 0 || wide == nullptr ||
        wide_length == 0 || wide_length < -1 || text_capacity < 0 ||
        (text_capacity > 0 && text == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = 0;
    if (wide_length == -1) {
        while (wide[length] != 0) ++length;
        ++length;
    } else {
        length = static_cast<size_t>(wide_length);
    }
    std::string narrow = winsim::NarrowText(wide, length);
    if ((flags & WC_NO_BEST_FIT_CHARS) != 0) {
        // What does not widen back to its own unit is the default character.
        narrow.clear();
        for (size_t i = 0; i < length; ++i) {
            char bytes[2];
            const size_t size = winsim::NarrowWideUnit(wide[i], bytes);
            char16_t back = 0;
            winsim::WidenAnsiChar(bytes, size, &back);
            if (back == wide[i]) {
                narrow.append(bytes, size);
            } else {
                narrow += default_char != nullptr ? default_char[0] : '?';
            }
        }
    }
    if (used_default_char != nullptr) {
        *used_default_char = FALSE;
        for (size_t i = 0; i < length; ++i) {
            char bytes[2];
            if (winsim::NarrowWideUnit(wide[i], bytes) == 1 && bytes[0] == '?' && wide[i] != u'?') {
                *used_default_char = TRUE;
            }
        }
    }
    if (text_capacity == 0) return static_cast<int>(narrow.size());
    if (narrow.size() > static_cast<size_t>(text_capacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(text, narrow.data(), narrow.size());
    return static_cast<int>(narrow.size());
}
