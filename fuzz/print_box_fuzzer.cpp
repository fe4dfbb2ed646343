// The framed text box on arbitrary text with every alignment: it ends, every
// line is framed at the box's width, and the alignment moves only padding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/box.h"
#include "console/quiet_mode.h"
#include "fuzz_support.h"

namespace {

const std::string kBorder = "+==============================================================+";

// What PrintBox writes, caught in memory. (In glibc stdout is an ordinary
// variable that a program may set.)
std::string PrintedBox(int32_t alignment, const char* text) {
    char* buffer = nullptr;
    size_t length = 0;
    FILE* memory = open_memstream(&buffer, &length);
    if (memory == nullptr) FuzzFailure("open_memstream failed");
    FILE* saved = stdout;
    stdout = memory;
    PrintBox(static_cast<BoxAlignment>(alignment), text);
    stdout = saved;
    fclose(memory);
    std::string printed(buffer, length);
    free(buffer);
    return printed;
}

// The lines between the borders; checks the frame of each.
std::vector<std::string> FramedLines(const std::string& printed) {
    Require(!printed.empty() && printed.back() == '\n', "the box does not end with a line end");
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < printed.size()) {
        size_t end = printed.find('\n', start);
        lines.push_back(printed.substr(start, end - start));
        start = end + 1;
    }
    Require(lines.size() >= 2 && lines.front() == kBorder && lines.back() == kBorder,
            "the box is not closed by its borders");
    lines.erase(lines.begin());
    lines.pop_back();
    for (const std::string& line : lines) {
        Require(line.size() == kBorder.size() && line.compare(0, 4, "|   ") == 0 &&
                    line.compare(line.size() - 4, 4, "   |") == 0,
                "a line is not framed at the box's width");
    }
    return lines;
}

std::string WithoutSpaces(const std::string& line) {
    std::string kept;
    for (char c : line) {
        if (c != ' ') kept.push_back(c);
    }
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    SwitchOnQuietMode();  // no pause between pages
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t other_alignment = input.ConsumeIntegral<int32_t>();
    const std::string text = input.ConsumeRemainingBytesAsString();  // NUL-terminated by c_str()
    const size_t length = text.find('\0') == std::string::npos ? text.size() : text.find('\0');

    Require(PrintedBox(kAlignLeft, nullptr).empty(), "a null text printed something");
    const std::string left = PrintedBox(kAlignLeft, text.c_str());
    const std::vector<std::string> left_lines = FramedLines(left);
    // Every line takes at least one character of the text, or the next one does.
    Require(left_lines.size() <= 2 * length + 2, "more lines than the text can fill");

    for (int32_t alignment : {kAlignCentre, kAlignRight}) {
        const std::vector<std::string> lines = FramedLines(PrintedBox(alignment, text.c_str()));
        Require(lines.size() == left_lines.size(), "the alignment changed the number of lines");
        for (size_t i = 0; i < lines.size(); ++i) {
            Require(WithoutSpaces(lines[i]) == WithoutSpaces(left_lines[i]),
                    "the alignment changed more than the padding");
        }
    }
    if (other_alignment != kAlignCentre && other_alignment != kAlignRight) {
        Require(PrintedBox(other_alignment, text.c_str()) == left,
                "an unknown alignment is not laid out as left");
    }
    return 0;
}
