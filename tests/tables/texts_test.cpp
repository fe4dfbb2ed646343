// The built-in title and instructions texts, and their boxes as a run of the
// program prints them (the same expected boxes as the Windows build's run).
#include "tables/texts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "driver/run_cleaner.h"
#include "support/argument_vector.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/native_run.h"

namespace {

const std::string kPause = "\nPress any key to continue...\n\n";
const std::string kBoxes =
    "\n" + ExpectedText("title_box.txt") + ExpectedText("instructions_box.txt");

// Runs the cleaner with /L `log` and scripted `keys`, its output going to
// `output`; ends the process with 100 + the exit code if the run returns.
void RunWithOutputIn(const std::string& output, const std::string& log,
                     std::initializer_list<int> keys) {
    winsim::ScriptConsoleKeys(keys);
    if (freopen(output.c_str(), "w", stdout) == nullptr) _exit(99);
    ArgumentVector command_line({"/L", log});
    const int code = RunCleaner(command_line.argc(), command_line.argv());
    fflush(stdout);
    _exit(100 + code);
}

class TextsTest : public NativeTest {
  protected:
    LoggedRun run_;  // its folder and log path
    const std::string& log_ = run_.log_path();
};

TEST_F(TextsTest, TitleAndInstructionsFollowTheirRules) {
    ASSERT_NE(kBoxTexts.title, nullptr);
    ASSERT_NE(kBoxTexts.instructions, nullptr);
    // The title's version is the project's, which the version resource and
    // the release names take from the build.
    const std::string title = kBoxTexts.title;
    const std::string first_line =
        std::string("FIX_TAMRIX (For Variants C, E, and F)Version ") + FIX_TAMRIX_VERSION + "\n";
    EXPECT_EQ(title.substr(0, first_line.size()), first_line);
    const std::regex rest(
        "[^\n]*\\b(19|20)[0-9]{2}\\b[^\n]*Vantorelkis, Inc\\.[^\n]*\n"
        "https?://[a-z.]*vantorelkis\\.example[^\n ]*\n");
    const std::string after_first =
        title.size() < first_line.size() ? "" : title.substr(first_line.size());
    EXPECT_TRUE(std::regex_match(after_first, rest)) << title;
    std::string paragraphs;
    for (const char* variant : {"C", "E", "F"}) {
        paragraphs += std::string("For information about this virus, visit:\n") +
                      "\t-\\. https?://[a-z.]*vantorelkis\\.example/[^\n ?]*\\?([^\n ]*&)?" +
                      "VName=WORM_TAMRIX\\." + variant + "(&[^\n ]*)?\n\n";
    }
    const std::regex instructions("\n1\\. Delete registry entries added by the worm\\.\n\n" +
                                  paragraphs);
    EXPECT_TRUE(std::regex_match(kBoxTexts.instructions, instructions)) << kBoxTexts.instructions;
}

TEST_F(TextsTest, BoxesOfAQuietRun) {
    RunResult run = RunInProcess({"/Q", "/L", log_});
    EXPECT_EQ(run.exit_code, 0);
    const std::string start = kBoxes + "\n\nQUIET MODE\n";
    EXPECT_EQ(run.output.substr(0, start.size()), start);
}

// Without a console (no keys at all) the pause prints its texts, and the run
// goes on to open the log and finish.
TEST_F(TextsTest, PauseWithoutAConsoleLetsTheRunGoOn) {
    RunResult run = RunInProcess({"/L", log_});
    EXPECT_EQ(run.exit_code, 0);
    const std::string start = kBoxes + kPause + "\n\n\n\n";
    EXPECT_EQ(run.output.substr(0, start.size()), start);
    EXPECT_NE(ReadWholeFile(log_), "<missing>");
}

TEST_F(TextsTest, CtrlCAtThePauseEndsTheRunBeforeTheLog) {
    const std::string output = run_.folder().path() + "/output.txt";
    EXPECT_EXIT(RunWithOutputIn(output, log_, {3}), testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadWholeFile(output), kBoxes + kPause);
    EXPECT_EQ(ReadWholeFile(log_), "<missing>") << "the log is not opened";
}

}  // namespace
