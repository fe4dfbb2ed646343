// The framed text box compared whole: wrapping, indentation, bullets,
// alignment, lines without room, and paging.
#include "console/box.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/quiet_mode.h"
#include "platform/console_key.h"
#include "support/alloc_counter.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/native_run.h"

namespace {

const std::string kBorder = ExpectedText("box_border.txt");
const std::string kPause = "\nPress any key to continue...\n\n";
const std::string kEmptyRow = "|" + std::string(62, ' ') + "|\n";

std::string S(size_t count) { return std::string(count, ' '); }

// One content line; `content` is the 56 columns between the edges. A wrong
// width in a test's own expectation shows up in the diff instead of passing.
std::string Row(const std::string& content) {
    if (content.size() != 56) {
        return "<test error: row of " + std::to_string(content.size()) + " columns>\n";
    }
    return "|   " + content + "   |\n";
}

// A left-aligned row of `text` at the left edge.
std::string Left(const std::string& text) { return Row(text + S(56 - text.size())); }

std::string Box(const std::vector<std::string>& rows) {
    std::string box = kBorder;
    for (const std::string& row : rows) box += row;
    return box + kBorder;
}

// Prints `text` in a child process and returns its output. The text sits in
// a heap block of exactly its size, so that the sanitizer build catches any
// read past its terminator; the child gets 10 seconds and 1 MB of output, so
// that a layout that never ends fails instead of hanging or filling the disk.
std::string Printed(int32_t alignment, const std::string& text) {
    char path[] = "/tmp/fix_tamrix_box_XXXXXX";
    const int file = mkstemp(path);
    if (file < 0) return "<no temporary file>";
    close(file);
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit most = {1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &most);
        alarm(10);
        if (freopen(path, "w", stdout) == nullptr) _exit(99);
        std::unique_ptr<char[]> exact(new char[text.size() + 1]);
        memcpy(exact.get(), text.c_str(), text.size() + 1);
        // Any 32-bit value may come in as an alignment; unknown ones are laid out as left.
        PrintBox(static_cast<BoxAlignment>(alignment), exact.get());
        fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::string output = ReadWholeFile(path);
    remove(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "<printing child ended with status " + std::to_string(status) + ">";
    }
    return output;
}

std::string LineName(int i) { return (i < 10 ? "line 0" : "line ") + std::to_string(i); }

// "line 01\n" ... for lines first..last, and their rows.
std::string NumberedLines(int first, int last) {
    std::string text;
    for (int i = first; i <= last; ++i) text += LineName(i) + "\n";
    return text;
}
std::vector<std::string> NumberedRows(int first, int last) {
    std::vector<std::string> rows;
    for (int i = first; i <= last; ++i) rows.push_back(Left(LineName(i)));
    return rows;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Case {
    std::string name;
    std::string text;
    int32_t alignment;
    std::string expected;
};

class BoxTest : public NativeTest {
  protected:
    void Check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            ResetProcessState();
            EXPECT_EQ(Printed(c.alignment, c.text), c.expected);
        }
    }
};

TEST_F(BoxTest, WrapsAndAligns) {
    const std::string a49(49, 'a'), b20(20, 'b');
    const std::string two_words = a49 + " " + b20;
    const std::string c70(70, 'c');
    const std::string x56(56, 'x');
    Check({
        {"worked example, left", two_words, kAlignLeft,
         Box({Row(a49 + " " + S(6)), Row(b20 + S(36))})},
        {"worked example, centred", two_words, kAlignCentre,
         Box({Row(S(3) + a49 + " " + S(3)), Row(S(18) + b20 + S(18))})},
        {"worked example, right", two_words, kAlignRight,
         Box({Row(S(6) + a49 + " "), Row(S(36) + b20)})},
        {"no break character", c70, kAlignLeft,
         Box({Row(std::string(56, 'c')), Left(std::string(14, 'c'))})},
        {"56 characters fit", x56, kAlignLeft, Box({Row(x56)})},
        {"57 characters split 56 and 1", x56 + "x", kAlignLeft, Box({Row(x56), Left("x")})},
        {"break at room - 1 ends a full line", std::string(55, 'y') + " zz", kAlignLeft,
         Box({Row(std::string(55, 'y') + " "), Left("zz")})},
        {"break only at offset 0", " " + std::string(60, 'q'), kAlignLeft,
         Box({Left(" "), Row(std::string(56, 'q')), Left("qqqq")})},
        {"second space starts the continuation line", std::string(55, 'a') + "  bb", kAlignLeft,
         Box({Row(std::string(55, 'a') + " "), Left(" bb")})},
        {"two adjacent spaces both end the line",
         std::string(40, 'a') + "  " + std::string(20, 'b'), kAlignLeft,
         Box({Left(std::string(40, 'a') + "  "), Left(std::string(20, 'b'))})},
        {"centred 55: the odd space on the right", std::string(55, 't'), kAlignCentre,
         Box({Row(std::string(55, 't') + " ")})},
        {"centred 54", std::string(54, 't'), kAlignCentre,
         Box({Row(" " + std::string(54, 't') + " ")})},
        {"any other alignment is left (7)", "abc", 7, Box({Left("abc")})},
        {"any other alignment is left (-1)", "abc", -1, Box({Left("abc")})},
        {"bytes printed as they are", "100% %s%n%d a\tb\rc", kAlignLeft,
         Box({Left("100% %s%n%d a\tb\rc")})},
    });
}

TEST_F(BoxTest, BreakCharacters) {
    const std::string a30(30, 'a'), b40(40, 'b');
    std::vector<Case> cases;
    for (char c : std::string(" \\/,:;=")) {
        cases.push_back({"breaks after character " + std::to_string(c), a30 + c + b40, kAlignLeft,
                         Box({Left(a30 + c), Left(b40)})});
    }
    for (char c : std::string(".-?&\t|")) {
        cases.push_back({"no break at character " + std::to_string(c), a30 + c + b40, kAlignLeft,
                         Box({Row(a30 + c + std::string(25, 'b')), Left(std::string(15, 'b'))})});
    }
    Check(cases);
}

TEST_F(BoxTest, IndentsAndBullets) {
    // Spaces at offsets 10, 25 and 45 of a 66-character item: at level 2 the
    // room is 48, so the first line takes 46 characters.
    const std::string item = std::string(10, 'd') + " " + std::string(14, 'd') + " " +
                             std::string(19, 'd') + " " + std::string(20, 'e');
    Check({
        {"tabbed bullet item wraps under its text", "\t-. " + item, kAlignLeft,
         Box({Row(S(4) + "=>  " + item.substr(0, 46) + S(2)),
              Row(S(8) + std::string(20, 'e') + S(28))})},
        {"numbered and dashed marks", "1. one\n-. two\n", kAlignLeft,
         Box({Left("1.  one"), Left("=>  two")})},
        {"not marks: no space after the dot, end of text, empty line", "x.y\n7.\n\n-.\nz",
         kAlignLeft, Box({Left("x.y"), Left("7."), kEmptyRow, kPause, Left("-."), Left("z")})},
        {"a mark right after the tabs only", "\t1. a\n\ta 1. b", kAlignLeft,
         Box({Left(S(4) + "1.  a"), Left(S(4) + "a 1. b")})},
        {"no mark on a continuation line", std::string(55, 'a') + " 1. x", kAlignLeft,
         Box({Row(std::string(55, 'a') + " "), Left("1. x")})},
        {"centred bullet", "-. ab", kAlignCentre, Box({Row("=>  " + S(25) + "ab" + S(25))})},
        {"tabs alone make an empty framed line", "a\n\t\t\nb", kAlignLeft,
         Box({Left("a"), kEmptyRow, Left("b")})},
        {"level 12 is laid out", std::string(12, '\t') + "abc", kAlignLeft,
         Box({Left(S(48) + "abc")})},
    });
}

TEST_F(BoxTest, LinesWithoutRoomAndEnds) {
    Check({
        {"no text at all", "", kAlignLeft, Box({})},
        {"a final newline adds no line", "one\n", kAlignLeft, Box({Left("one")})},
        {"two final newlines add one empty line", "one\n\n", kAlignLeft,
         Box({Left("one"), kEmptyRow})},
        {"level 13 has no room; its text follows at level 0", std::string(13, '\t') + "x",
         kAlignLeft, Box({kEmptyRow, Left("x")})},
        {"13 tabs alone", std::string(13, '\t') + "\nb", kAlignLeft, Box({kEmptyRow, Left("b")})},
        {"trailing tabs", "a\n\t\t", kAlignLeft, Box({Left("a"), kEmptyRow})},
        // The item's continuation would be at level 13: one empty line, then
        // the rest of the item from level 0, instead of empty lines forever.
        {"bullet at level 12 wraps past the deepest level", std::string(12, '\t') + "-. abcdefgh",
         kAlignLeft, Box({Row(S(48) + "=>  abcd"), kEmptyRow, Left("efgh")})},
    });
    EXPECT_EQ(CaptureStdout([] { PrintBox(kAlignLeft, nullptr); }), "");
}

TEST_F(BoxTest, Pages) {
    std::string sixty = NumberedLines(1, 60);
    std::string thirty_with_20_empty = NumberedLines(1, 19) + "\n" + NumberedLines(21, 30);
    std::string thirty_with_20_tabs = NumberedLines(1, 19) + "\t\t\n" + NumberedLines(21, 30);
    std::vector<std::string> tab_rows = NumberedRows(1, 19);
    tab_rows.push_back(kEmptyRow);
    const std::string a50(50, 'a'), b50(50, 'b');
    Check({
        {"three lines, the middle one empty", "one\n\nthree\n", kAlignLeft,
         kBorder + Left("one") + kEmptyRow + kPause + Left("three") + kBorder},
        {"30 lines, line 20 empty: pages of 20 and 10", thirty_with_20_empty, kAlignLeft,
         Box(Join({NumberedRows(1, 19), {kEmptyRow, kPause}, NumberedRows(21, 30)}))},
        {"60 lines: pages of 23, 24 and 13", sixty, kAlignLeft,
         Box(Join({NumberedRows(1, 23),
                   {kPause},
                   NumberedRows(24, 47),
                   {kPause},
                   NumberedRows(48, 60)}))},
        {"a leading empty line is a page of its own", "\n" + NumberedLines(1, 30), kAlignLeft,
         Box(Join({{kEmptyRow, kPause}, NumberedRows(1, 24), {kPause}, NumberedRows(25, 30)}))},
        {"one window ending in an empty line is one page", "a\nb\n\n", kAlignLeft,
         Box({Left("a"), Left("b"), kEmptyRow})},
        {"a line of tabs does not end a page", thirty_with_20_tabs, kAlignLeft,
         Box(Join({tab_rows, NumberedRows(21, 23), {kPause}, NumberedRows(24, 30)}))},
        {"a page break inside a wrapped item", NumberedLines(1, 22) + "-. " + a50 + " " + b50,
         kAlignLeft,
         Box(Join({NumberedRows(1, 22),
                   {Row("=>  " + a50 + " " + S(1)), kPause},
                   {Row(S(4) + b50 + S(2))}}))},
    });
}

TEST_F(BoxTest, PausesBetweenPagesReadOneKeyEach) {
    winsim::ScriptConsoleKeys({'x', 224, 72, 'y'});
    winsim::RecordCalls(true);
    CaptureStdout([] { PrintBox(kAlignLeft, NumberedLines(1, 60).c_str()); });
    // Two pauses: 'x', then Up with both of its codes; 'y' is left.
    EXPECT_EQ(winsim::RecordedCalls().size(), 3u);
    EXPECT_EQ(ReadConsoleKey(), 'y');
}

TEST_F(BoxTest, PrintsWithoutAllocating) {
    if (!AllocationCountingWorks()) GTEST_SKIP() << "allocations cannot be counted in this build";
    const std::string text =
        "\t-. " + std::string(30, 'w') + " " + std::string(40, 'v') + "\n" + NumberedLines(1, 60);
    size_t allocations = 1;
    CaptureStdout([&] {
        StartCountingAllocations();
        PrintBox(kAlignCentre, text.c_str());  // three pages, two pauses
        allocations = StopCountingAllocations();
    });
    EXPECT_EQ(allocations, 0u);
}

TEST_F(BoxTest, QuietModePrintsPagesAsOneBox) {
    SwitchOnQuietMode();
    EXPECT_EQ(Printed(kAlignLeft, NumberedLines(1, 60)), Box(NumberedRows(1, 60)));
    winsim::ScriptConsoleKeys({'x'});
    CaptureStdout([] { PrintBox(kAlignLeft, NumberedLines(1, 60).c_str()); });
    EXPECT_EQ(ReadConsoleKey(), 'x') << "no key is read in quiet mode";
}

}  // namespace
