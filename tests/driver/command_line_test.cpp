// The command line: what a run prints after the title box, returns and logs
// for each argument list, and what the parser takes from it.
#include "driver/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/run_cleaner.h"
#include "log/log_file.h"
#include "support/argument_vector.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/native_run.h"
#include "support/temp_files.h"

namespace {

const std::string kUsage = ExpectedText("usage.txt");

class CommandLineTest : public NativeTest {};

// Every argument list of note: exit code, the whole output after the title
// box, and which log the run wrote (in a temporary current folder, where the
// program also pretends to live).
TEST_F(CommandLineTest, EveryCommandLine) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const TempFolder temp;
    const std::string& folder = temp.path();
    ASSERT_EQ(chdir(folder.c_str()), 0);

    const std::string instructions = ExpectedText("instructions_box.txt");
    const std::string run_key =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string walk;  // the walk on a machine without the worm
    for (const char* row : {"\"screen\"=\"C:\\WINDOWS\\system32\\Screen.scr\"",
                            "\"sys\"=\"C:\\WINDOWS\\system32\\List.txt.scr\"",
                            "\"sys\"=\"C:\\WINDOWS\\system32\\List480.txt.scr\""}) {
        walk +=
            std::string("Registry entry ") + row + " in key \"" + run_key + "\" was not found.\n";
    }
    // After the pause's own "\n\n": two empty lines, then two for the empty scan stage.
    const std::string paused_run =
        instructions + "\nPress any key to continue...\n\n" + "\n\n" + "\n\n" + walk + "\n";
    const std::string quiet_run = instructions + "\n\n" + "QUIET MODE\n" + "\n\n" + walk + "\n";
    const std::string long_path(kLogPathSize, 'a');  // one byte too many with its NUL

    struct Case {
        std::vector<std::string> arguments;
        int exit_code;
        std::string after_title;
        std::string log;  // the one log file the run wrote, or ""
        bool quiet_line;  // the log says "Quiet mode specified."
    };
    const Case cases[] = {
        {{}, 0, paused_run, "fix_tamrix.log", false},
        {{"/q"}, 0, quiet_run, "fix_tamrix.log", true},
        {{"-Q", "/Q"}, 0, quiet_run, "fix_tamrix.log", true},
        {{"/L", "-Q"}, 0, paused_run, "-Q", false},
        {{"/Q", "/L", "a.log", "/L", "b.log"}, 0, quiet_run, "b.log", true},
        {{"C:\\one", "/q"}, 0, quiet_run, "fix_tamrix.log", true},
        {{""}, 0, paused_run, "fix_tamrix.log", false},
        {{"/?"}, 1, kUsage, "", false},
        {{"C:\\one", "/?"}, 1, kUsage, "", false},
        {{"/?", "/X"}, 1, kUsage, "", false},
        {{"-?"}, 1, kUsage, "", false},
        {{"/X", "/?"}, 2, "Invalid command-line option: /X\n", "", false},
        {{"/Q", "/X"}, 2, "Invalid command-line option: /X\n", "", false},
        {{"/"}, 2, "Invalid command-line option: /\n", "", false},
        {{"-"}, 2, "Invalid command-line option: -\n", "", false},
        {{"/?x"}, 2, "Invalid command-line option: /?x\n", "", false},
        {{"/Quiet"}, 2, "Invalid command-line option: /Quiet\n", "", false},
        {{"-LL"}, 2, "Invalid command-line option: -LL\n", "", false},
        {{"-l"}, 2, "Expected parameter after \"-l\" is missing.\n", "", false},
        {{"/Q", "/L"}, 2, "Expected parameter after \"/L\" is missing.\n", "", false},
        {{"C:\\one", "/Q", "C:\\two"}, 2, "Too many command-line parameters\n", "", false},
        {{"", "C:\\one"}, 2, "Too many command-line parameters\n", "", false},
        {{"C:\\one", ""}, 2, "Too many command-line parameters\n", "", false},
        {{"/L", long_path, "/Q"},
         2,
         "Log file path after \"/L\" is too long (at most 267 characters).\n",
         "",
         false},
    };
    const std::vector<std::string> log_names = {"fix_tamrix.log", "-Q", "a.log", "b.log"};
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& argument : c.arguments)
            joined += "[" + argument.substr(0, 20) + "]";
        SCOPED_TRACE(joined);
        ResetProcessState();
        winsim::SetModuleFileName((folder + "/fix_tamrix").c_str());
        winsim::ScriptConsoleKeys({'x'});
        ArgumentVector command_line(c.arguments);
        int exit_code = -1;
        const std::string output = CaptureStdout(
            [&] { exit_code = RunCleaner(command_line.argc(), command_line.argv()); });
        EXPECT_EQ(exit_code, c.exit_code);
        EXPECT_EQ(AfterTitleBox(output), c.after_title);
        EXPECT_FALSE(LogIsOpen());
        if (c.exit_code != 0) {
            EXPECT_EQ(LogPath(), nullptr) << "nothing is set or opened after an error";
        }
        for (const std::string& name : log_names) {
            const std::string path = folder + "/" + name;
            const std::string log = ReadWholeFile(path);
            if (name != c.log) {
                EXPECT_EQ(log, "<missing>") << name;
                continue;
            }
            const size_t quiet_at = log.find("Quiet mode specified.\n");
            EXPECT_EQ(quiet_at != std::string::npos, c.quiet_line) << log;
            EXPECT_NE(log.find("was not found.\n"), std::string::npos) << log;
            remove(path.c_str());
        }
    }
    ASSERT_EQ(chdir(cwd), 0);
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
        ArgumentVector command_line(c.arguments);
        SCOPED_TRACE(command_line.argc());
        CommandLine parsed = ParseCommandLine(command_line.argc(), command_line.argv());
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
