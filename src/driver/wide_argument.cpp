#include "driver/wide_argument.h"

#include <cstring>

#include "common/wide_text.h"
#include "platform/windows_family.h"

namespace {

// A unit narrows to three bytes at most (UTF-8).
constexpr size_t kNarrowedSize = 3 * 268;

bool IsBlank(WCHAR unit) { return unit == ' ' || unit == '\t'; }

// Where one argument is written: at most `capacity` - 1 units, then the NUL.
struct Sink {
    WCHAR* out;  // nullptr: the argument is only skipped
    size_t capacity;
    size_t length;
};

void Put(Sink* sink, WCHAR unit) {
    if (sink->out != nullptr && sink->length + 1 < sink->capacity) sink->out[sink->length] = unit;
    ++sink->length;
}

// Ends the argument `sink` took, and reports its length when it was the one asked for.
void EndArgument(Sink* sink, size_t* length) {
    if (sink->out == nullptr) return;
    sink->out[sink->length < sink->capacity ? sink->length : sink->capacity - 1] = 0;
    *length = sink->length;
}

}  // namespace

int SplitWideCommandLine(const WCHAR* line, int index, WCHAR* out, size_t capacity,
                         size_t* length) {
    *length = 0;
    if (capacity > 0) out[0] = 0;
    const WCHAR* p = line;
    Sink sink = {index == 0 && capacity > 0 ? out : nullptr, capacity, 0};
    // The program's name: up to the next quote when it begins with one,
    // otherwise up to the first blank; no backslash rules.
    if (*p == '"') {
        while (*++p != '"' && *p != 0) Put(&sink, *p);
        if (*p == '"') ++p;
    } else {
        while (*p != 0 && !IsBlank(*p)) Put(&sink, *p++);
    }
    EndArgument(&sink, length);
    int count = 1;
    bool quoted = false;
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (*p == 0) break;
        sink = Sink{count == index && capacity > 0 ? out : nullptr, capacity, 0};
        ++count;
        // 2n backslashes and a quote: n backslashes, and the quote opens or
        // closes; 2n + 1 and a quote: n and a plain quote; backslashes before
        // anything else stand for themselves. Inside quotes, two quotes give
        // one and close them.
        for (;;) {
            bool copy = true;
            size_t slashes = 0;
            while (*p == '\\') {
                ++p;
                ++slashes;
            }
            if (*p == '"') {
                if (slashes % 2 == 0) {
                    if (quoted && p[1] == '"') {
                        ++p;
                    } else {
                        copy = false;
                    }
                    quoted = !quoted;
                }
                slashes /= 2;
            }
            while (slashes-- > 0) Put(&sink, '\\');
            if (*p == 0 || (!quoted && IsBlank(*p))) break;
            if (copy) Put(&sink, *p);
            ++p;
        }
        EndArgument(&sink, length);
    }
    return count;
}

int32_t FindExactArgument(int argc, char** argv, int index, WCHAR* out, size_t capacity,
                          bool* wide) {
    *wide = false;
    if (IsWindows95Family()) return 0;
    size_t units = 0;
    if (SplitWideCommandLine(GetCommandLineW(), index, out, capacity, &units) != argc) {
        return ERROR_INVALID_DATA;
    }
    if (units + 1 > capacity) return ERROR_BUFFER_OVERFLOW;
    const char* ansi = argv[index];
    const size_t length = strlen(ansi);
    bool same = false;
    const int32_t compared = CompareWidened(ansi, length, out, units, &same);
    if (compared != 0 || same) return compared;
    // Unambiguous only when the wide argument is the one the runtime turned
    // into argv[index]: it narrows to it byte for byte.
    char narrowed[kNarrowedSize];
    if (units > sizeof narrowed / 3) return ERROR_BUFFER_OVERFLOW;
    const int bytes = units == 0 ? 0
                                 : WideCharToMultiByte(CP_ACP, 0, out, static_cast<int>(units),
                                                       narrowed, sizeof narrowed, nullptr, nullptr);
    if (static_cast<size_t>(bytes) != length || memcmp(narrowed, ansi, length) != 0) {
        return ERROR_INVALID_DATA;
    }
    *wide = true;
    return 0;
}
