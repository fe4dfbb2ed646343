#include "common/wide_text.h"

#include <cstring>

#include "platform/windows_family.h"

namespace {

// Bytes widened at a time.
constexpr size_t kPiece = 64;

struct Comparison {
    const WCHAR* wide;
    size_t left;  // units of `wide` not yet compared
    bool differs;
};

// Stops the widening (with a code of its own) at the first piece that differs.
int32_t ComparePiece(void* context, const WCHAR* units, size_t count) {
    Comparison* comparison = static_cast<Comparison*>(context);
    if (count > comparison->left || memcmp(units, comparison->wide, count * sizeof(WCHAR)) != 0) {
        comparison->differs = true;
        return ERROR_INVALID_DATA;
    }
    comparison->wide += count;
    comparison->left -= count;
    return 0;
}

}  // namespace

int32_t WidenInPieces(const char* ansi, size_t length,
                      int32_t (*take)(void* context, const WCHAR* units, size_t count),
                      void* context) {
    size_t at = 0;
    while (at < length) {
        // A piece ends before a lead byte whose trail byte would fall outside it.
        size_t end = at;
        while (end < length && end - at < kPiece) {
            const BYTE byte = static_cast<BYTE>(ansi[end]);
            // Lead bytes are 0x81 and above in every double-byte code page.
            const size_t size = byte >= 0x80 && IsDBCSLeadByte(byte) && end + 1 < length ? 2 : 1;
            if (end + size - at > kPiece) break;
            end += size;
        }
        WCHAR units[kPiece];
        const int count = MultiByteToWideChar(CP_ACP, 0, ansi + at, static_cast<int>(end - at),
                                              units, static_cast<int>(kPiece));
        if (count == 0) return LastErrorOr(ERROR_INTERNAL_ERROR);
        const int32_t taken = take(context, units, static_cast<size_t>(count));
        if (taken != 0) return taken;
        at = end;
    }
    return 0;
}

int32_t CompareWidened(const char* ansi, size_t length, const WCHAR* wide, size_t units,
                       bool* same) {
    Comparison comparison = {wide, units, false};
    const int32_t result = WidenInPieces(ansi, length, ComparePiece, &comparison);
    *same = !comparison.differs && comparison.left == 0;
    return comparison.differs ? 0 : result;
}

size_t WideLength(const WCHAR* wide, size_t limit) {
    size_t length = 0;
    while (length < limit && wide[length] != 0) ++length;
    return length;
}

bool ShowExactly(const WCHAR* wide, char* out, size_t size) {
    const int capacity = static_cast<int>(size);
    int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, capacity, "?", nullptr);
    // A code page without best fits (UTF-8) takes neither the flag nor a default.
    if (bytes == 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, out, capacity, nullptr, nullptr);
    }
    if (bytes == 0 && size > 0) out[0] = '\0';
    return bytes != 0;
}
