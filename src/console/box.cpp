// The framed text box. Each page is laid out twice from the same start, once
// to find where it ends and once to print it, straight from the caller's text.
#include "console/box.h"

#include <cstdio>

#include "console/prompts.h"

namespace {

constexpr int32_t kContentWidth = 56;
constexpr int32_t kIndentStep = 4;
constexpr int32_t kMarkWidth = 4;
// Both page windows end at this line number: the first page numbers its lines
// from 1 (23 lines), later pages from 0 (24 lines).
constexpr int32_t kLastLineOfPage = 23;
constexpr char kBreakCharacters[] = " \\/,:;=";

// Where the layout stands; copying it is how a page is laid out a second time.
struct LayoutState {
    const char* position;
    int32_t level;
    bool continuation;  // the next output line goes on with a wrapped text line
};

bool IsBreakCharacter(char c) {
    for (const char* b = kBreakCharacters; *b != '\0'; ++b) {
        if (*b == c) return true;
    }
    return false;
}

void PrintSpaces(int32_t count) {
    for (int32_t i = 0; i < count; ++i) putchar(' ');
}

// "x. " at the start of a text line, where x is any character but a newline.
bool StartsWithBulletMark(const char* p) {
    return p[0] != '\0' && p[0] != '\n' && p[1] == '.' && p[2] == ' ';
}

// Characters to the end of the text line, counted no further than `limit` + 1.
int32_t LineLengthUpTo(const char* p, int32_t limit) {
    int32_t length = 0;
    while (length <= limit && p[length] != '\0' && p[length] != '\n') ++length;
    return length;
}

// The first part of a wrapped line: up to the last break character within
// `room`, or the whole room.
int32_t WrappedLength(const char* p, int32_t room) {
    for (int32_t j = room - 1; j >= 0; --j) {
        if (IsBreakCharacter(p[j])) return j + 1;
    }
    return room;
}

// Lays out one output line, printing it when `print` is set; true when it was
// an empty text line, where a page may end.
bool LayOutLine(LayoutState* state, BoxAlignment alignment, bool print) {
    const bool empty_line = *state->position == '\n';
    if (!state->continuation) {
        state->level = 0;
        while (*state->position == '\t') {
            ++state->level;
            ++state->position;
        }
    }
    const int32_t indent = kIndentStep * state->level;
    if (print) fputs("|   ", stdout);

    if (indent + kMarkWidth >= kContentWidth || *state->position == '\0') {
        // No room, or tabs that end the text: an empty framed line. A wrapped
        // item whose level left no room starts over at level 0 from where it
        // stands; keeping its level would lay out empty lines forever.
        if (print) PrintSpaces(kContentWidth);
        if (indent + kMarkWidth >= kContentWidth) state->continuation = false;
    } else {
        int32_t room = kContentWidth - indent;
        if (print) PrintSpaces(indent);
        if (!state->continuation && StartsWithBulletMark(state->position)) {
            room -= kMarkWidth;
            ++state->level;
            if (print) {
                if (state->position[0] == '-') {
                    fputs("=>  ", stdout);
                } else {
                    putchar(state->position[0]);
                    fputs(".  ", stdout);
                }
            }
            state->position += 3;
        }
        int32_t taken = LineLengthUpTo(state->position, room);
        if (taken > room) {
            state->continuation = true;
            taken = WrappedLength(state->position, room);
        }
        const int32_t fill = room - taken;
        int32_t before = 0;
        if (alignment == kAlignCentre) {
            before = fill / 2;
        } else if (alignment == kAlignRight) {
            before = fill;
        }
        if (print) {
            PrintSpaces(before);
            // Byte by byte: the text is never a format.
            for (int32_t i = 0; i < taken; ++i) putchar(state->position[i]);
            PrintSpaces(fill - before);
        }
        state->position += taken;
    }

    if (print) fputs("   |\n", stdout);
    if (*state->position == '\n') {
        ++state->position;
        state->continuation = false;
    }
    return empty_line;
}

void PrintBoxBorder() {
    fputs("+==============================================================+\n", stdout);
}

}  // namespace

void PrintBox(BoxAlignment alignment, const char* text) {
    if (text == nullptr) return;
    PrintBoxBorder();
    LayoutState page_start = {text, 0, false};
    int32_t first_line = 1;
    for (;;) {
        // Measure: the page ends after the last empty line of its window.
        LayoutState state = page_start;
        int32_t page_end = kLastLineOfPage;
        for (int32_t line = first_line; line <= kLastLineOfPage; ++line) {
            if (*state.position == '\0') break;  // lines past the end hold nothing
            if (LayOutLine(&state, alignment, false)) page_end = line;
        }

        state = page_start;
        for (int32_t line = first_line;; ++line) {
            if (*state.position == '\0') {
                PrintBoxBorder();
                return;
            }
            LayOutLine(&state, alignment, true);
            if (line == page_end) break;
        }

        page_start = state;
        first_line = 0;
        if (*state.position != '\0') PauseForKey();
    }
}
