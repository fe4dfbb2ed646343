// The command line: what the parser takes from each argument list, and what a
// run prints after the title box and returns for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/command_line.h"
#include "log/log.h"
#include "support/capture.h"
#include "support/native_run.h"

namespace {

const char kUsage[] =
    "Scans for \"WORM_TAMRIX\" and removes it from the system\n\n"
    "fix_tamrix [<folder>] [/Q] [/?]\n\n"
    "    <folder>    The folder where the tool will begin scanning.\n"
    "                If unspecified, the tool will scan all local\n"
    "                hard drives.\n"
    "    /Q          Quiet mode: suppresses prompting\n"
    "    /?          Display help information\n\n";

class CommandLineTest : public testing::Test {
  protected:
    void SetUp() override { ResetProcessState(); }
    void TearDown() override { ResetProcessState(); }
};

TEST_F(CommandLineTest, RunsThatStopAtTheCommandLine) {
    const std::string long_path(kLogPathSize, 'a');  // one byte too many with its NUL
    struct Case {
        std::initializer_list<std::string> arguments;
        int exit_code;
        std::string after_title;
    };
    const Case cases[] = {
        {{"/?"}, 1, kUsage},
        {{"C:\\one", "/?"}, 1, kUsage},
        {{"/?", "/X"}, 1, kUsage},
        {{"-?"}, 1, kUsage},
        {{"/X", "/?"}, 2, "Invalid command-line option: /X\n"},
        {{"/Q", "/X"}, 2, "Invalid command-line option: /X\n"},
        {{"/"}, 2, "Invalid command-line option: /\n"},
        {{"-"}, 2, "Invalid command-line option: -\n"},
        {{"/?x"}, 2, "Invalid command-line option: /?x\n"},
        {{"/Quiet"}, 2, "Invalid command-line option: /Quiet\n"},
        {{"-LL"}, 2, "Invalid command-line option: -LL\n"},
        {{"-l"}, 2, "Expected parameter after \"-l\" is missing.\n"},
        {{"/Q", "/L"}, 2, "Expected parameter after \"/L\" is missing.\n"},
        {{"C:\\one", "/Q", "C:\\two"}, 2, "Too many command-line parameters\n"},
        {{"", "C:\\one"}, 2, "Too many command-line parameters\n"},
        {{"C:\\one", ""}, 2, "Too many command-line parameters\n"},
        {{"/L", long_path, "/Q"}, 2,
         "Log file path after \"/L\" is too long (at most 267 characters).\n"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& argument : c.arguments) joined += "[" + argument.substr(0, 20) + "]";
        SCOPED_TRACE(joined);
        ResetProcessState();
        RunResult run = RunInProcess(c.arguments);
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(AfterTitleBox(run.output), c.after_title);
        EXPECT_EQ(LogPath(), nullptr) << "nothing may be opened or set after an error";
        EXPECT_FALSE(LogIsOpen());
    }
}

TEST_F(CommandLineTest, ParsedSettings) {
    const std::string longest_path(kLogPathSize - 1, 'p');
    struct Case {
        std::vector<std::string> arguments;
        bool quiet;
        const char* folder;
        std::string log_path;  // "" for none
    };
    const Case cases[] = {
        {{}, false, nullptr, ""},
        {{"/q"}, true, nullptr, ""},
        {{"-Q", "/Q"}, true, nullptr, ""},
        {{"/L", "-Q"}, false, nullptr, "-Q"},
        {{"/L", "a.log", "/L", "b.log"}, false, nullptr, "b.log"},
        {{"-l", "/?"}, false, nullptr, "/?"},
        {{"C:\\one", "/q"}, true, "C:\\one", ""},
        {{""}, false, "", ""},
        {{"/L", longest_path}, false, nullptr, longest_path},
    };
    for (const Case& c : cases) {
        std::vector<std::string> storage = {"fix_tamrix"};
        storage.insert(storage.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : storage) argv.push_back(&argument[0]);
        SCOPED_TRACE(storage.size());
        CommandLine parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(parsed.outcome, CommandLineOutcome::kRun);
        EXPECT_EQ(parsed.quiet, c.quiet);
        if (c.folder == nullptr) {
            EXPECT_EQ(parsed.folder, nullptr);
        } else {
            ASSERT_NE(parsed.folder, nullptr);
            EXPECT_STREQ(parsed.folder, c.folder);
        }
        EXPECT_EQ(parsed.log_path == nullptr ? std::string() : std::string(parsed.log_path),
                  c.log_path);
    }
}

TEST_F(CommandLineTest, LogPathOfTheLongestSizeIsTakenWhole) {
    const std::string longest(kLogPathSize - 1, 'p');
    EXPECT_EQ(SetLogPath(longest.c_str()), 0);
    EXPECT_EQ(std::string(LogPath()), longest);
    const std::string too_long(kLogPathSize, 'q');
    EXPECT_EQ(SetLogPath(too_long.c_str()), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(LogPath()), longest) << "a refused path leaves the old one";
}

}  // namespace
