// The pause and the confirmation prompt against scripted keys: what they print,
// what they answer, how many keys they take, and quiet mode.
#include "console/prompts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/quiet_mode.h"
#include "platform/console_key.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/temp_files.h"

namespace {

const std::string kPrompt = "  Confirm (Yes/No/All yes)?  ";
const std::string kPause = "\nPress any key to continue...\n\n";

class PromptsTest : public NativeTest {
  protected:
    // A prompt that waits for keys that never come ends the test binary
    // (SIGALRM) instead of hanging.
    void SetUp() override {
        NativeTest::SetUp();
        alarm(10);
    }
    void TearDown() override {
        alarm(0);
        NativeTest::TearDown();
    }
};

// Keys the script still holds after a prompt: read them back.
std::vector<int> KeysLeft() {
    std::vector<int> left;
    for (int key = ReadConsoleKey(); key != -1; key = ReadConsoleKey()) left.push_back(key);
    return left;
}

TEST_F(PromptsTest, ConfirmAction) {
    struct Case {
        const char* name;
        std::initializer_list<int> keys;
        bool answer;
        std::string printed;
        bool quiet_after;
        std::vector<int> left;
    };
    // clang-format off
    const Case cases[] = {
        {"y", {'y', 'n'}, true, kPrompt + "[Yes] ", false, {'n'}},
        {"Y", {'Y'}, true, kPrompt + "[Yes] ", false, {}},
        {"n", {'n', 'y'}, false, kPrompt + "[No] ", false, {'y'}},
        {"N", {'N'}, false, kPrompt + "[No] ", false, {}},
        {"a", {'a'}, true, kPrompt + "[Yes to all prompts] ", true, {}},
        {"A", {'A', 'n'}, true, kPrompt + "[Yes to all prompts] ", true, {'n'}},
        {"other keys are ignored silently", {13, 27, 3, 'q', ' ', 'b', 8, 'N'}, false,
         kPrompt + "[No] ", false, {}},
        // F7 is 0 and 65 ("A"), Up 224 and 72, F1 0 and 59: none is an answer.
        {"function and cursor keys are no answer", {0, 65, 224, 72, 0, 59, 'y'}, true,
         kPrompt + "[Yes] ", false, {}},
        {"no key can be read: no", {}, false, kPrompt, false, {}},
        {"keys run out: no", {'x', 'z'}, false, kPrompt, false, {}},
        {"the second code cannot be read: no", {224}, false, kPrompt, false, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProcessState();
        winsim::ScriptConsoleKeys(c.keys);
        bool answer = !c.answer;
        EXPECT_EQ(CaptureStdout([&] { answer = ConfirmAction(); }), c.printed);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(IsQuietMode(), c.quiet_after);
        EXPECT_EQ(KeysLeft(), c.left);
    }
}

TEST_F(PromptsTest, AfterAllYesNothingIsAskedAgain) {
    winsim::ScriptConsoleKeys({'a', 'n', 'n'});
    std::vector<bool> answers;
    std::string printed = CaptureStdout([&] {
        for (int i = 0; i < 3; ++i) answers.push_back(ConfirmAction());
        PauseForKey();
    });
    EXPECT_EQ(printed, kPrompt + "[Yes to all prompts] ");
    EXPECT_EQ(answers, std::vector<bool>({true, true, true}));
    EXPECT_EQ(KeysLeft(), std::vector<int>({'n', 'n'}));
}

TEST_F(PromptsTest, PauseTakesOneKey) {
    struct Case {
        const char* name;
        std::initializer_list<int> keys;
        std::vector<int> left;
    };
    const Case cases[] = {
        {"no console", {}, {}},
        {"a letter", {'x', 'y'}, {'y'}},
        {"Enter", {13, 'y'}, {'y'}},
        {"Up takes both of its codes", {224, 72, 'y'}, {'y'}},
        {"F7 takes both of its codes", {0, 65, 'n'}, {'n'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProcessState();
        winsim::ScriptConsoleKeys(c.keys);
        EXPECT_EQ(CaptureStdout([] { PauseForKey(); }), kPause);
        EXPECT_EQ(KeysLeft(), c.left);
    }
}

TEST_F(PromptsTest, QuietModeSilencesBoth) {
    SwitchOnQuietMode();
    winsim::ScriptConsoleKeys({'n'});
    bool answer = false;
    EXPECT_EQ(CaptureStdout([&] {
                  PauseForKey();
                  answer = ConfirmAction();
              }),
              "");
    EXPECT_TRUE(answer);
    EXPECT_EQ(KeysLeft(), std::vector<int>({'n'}));
}

// Ctrl+C at the pause: "\n\n" is printed, then the process ends with 1
// through the ordinary exit, so buffered output still reaches its file.
TEST_F(PromptsTest, CtrlCAtThePauseEndsTheProcess) {
    const TempFolder folder;
    const std::string path = folder.path() + "/pause.txt";
    EXPECT_EXIT(
        {
            winsim::ScriptConsoleKeys({3});
            if (freopen(path.c_str(), "w", stdout) == nullptr) _exit(99);
            printf("before");
            PauseForKey();
            printf("after");
            fflush(stdout);
            _exit(98);
        },
        testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadWholeFile(path), "before" + kPause);
}

}  // namespace
