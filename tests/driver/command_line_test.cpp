// The command line: what a run prints after the title box, returns and logs
// for each argument list, and what the parser takes from it.
#include "driver/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/run_cleaner.h"
#include "driver/wide_argument.h"
#include "log/log_file.h"
#include "support/argument_vector.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/native_run.h"
#include "support/temp_files.h"
#include "support/windows_versions.h"

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
    const std::string too_long =
        "Log file path after \"/L\" is too long (at most 267 characters).\n";

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
        {{"/L", long_path, "/Q"}, 2, too_long, "", false},
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
        const RunResult run = RunInProcess(c.arguments);
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(AfterTitleBox(run.output), c.after_title);
        EXPECT_FALSE(LogIsOpen());
        if (c.exit_code != 0) {
            EXPECT_EQ(LogName(), nullptr) << "nothing is set or opened after an error";
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

// The wide command line split as the C runtime splits argv: the program's
// name without backslash rules, then arguments with them.
TEST_F(CommandLineTest, WideCommandLineSplitsAsTheRuntimeDoes) {
    struct Case {
        std::u16string line;
        std::vector<std::u16string> arguments;
    };
    const Case cases[] = {
        {u"prog", {u"prog"}},
        {u"\"C:\\Program Files\\a.exe\" x", {u"C:\\Program Files\\a.exe", u"x"}},
        {u"C:\\a\\b.exe\t/L  c.log  ", {u"C:\\a\\b.exe", u"/L", u"c.log"}},
        {u"p \"a b\" \"\" c", {u"p", u"a b", u"", u"c"}},
        {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},
        {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},
        {u"p a\\b\\ c\\", {u"p", u"a\\b\\", u"c\\"}},
        {u"p \"a\"\"b\" c", {u"p", u"a\"b c"}},
        {u"p \"\\\\server\\share\\\"", {u"p", u"\\\\server\\share\""}},
        {u"p \uFF41\u8868 \"C:\\caf\u00e9\\\"", {u"p", u"\uFF41\u8868", u"C:\\caf\u00e9\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        for (size_t i = 0; i <= c.arguments.size(); ++i) {
            WCHAR out[64];
            size_t length = 99;
            EXPECT_EQ(SplitWideCommandLine(c.line.c_str(), static_cast<int>(i), out, 64, &length),
                      static_cast<int>(c.arguments.size()));
            const std::u16string expected = i < c.arguments.size() ? c.arguments[i] : u"";
            EXPECT_EQ(std::u16string(out), expected) << i;
            EXPECT_EQ(length, expected.size());
        }
    }
    // An argument longer than the buffer is cut, its whole length reported.
    WCHAR out[4];
    size_t length = 0;
    EXPECT_EQ(SplitWideCommandLine(u"p abcdef", 1, out, 4, &length), 2);
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(length, 6u);
    // The stand-in's command lines split back into their arguments.
    const std::vector<std::string> arguments = {"fix", "a b", "", "q\"x", "c:\\d\\", "\\\"\\"};
    const std::u16string line = winsim::CommandLineOf(arguments);
    for (size_t i = 0; i < arguments.size(); ++i) {
        WCHAR argument[64];
        EXPECT_EQ(SplitWideCommandLine(line.c_str(), static_cast<int>(i), argument, 64, &length),
                  static_cast<int>(arguments.size()));
        EXPECT_EQ(std::u16string(argument),
                  std::u16string(arguments[i].begin(), arguments[i].end()));
    }
}

// The C runtime's argv is the best-fit ANSI form of the wide command line: a
// /L path that is not exact is taken in its wide form, or refused when the
// wide argument cannot be matched to argv.
TEST_F(CommandLineTest, LogPathInItsExactSpelling) {
    struct Case {
        const char* what;
        std::u16string line;  // the wide command line
        DWORD version;
        CommandLineOutcome outcome;
        std::u16string wide;  // the wide path taken, or ""
    };
    const Case cases[] = {
        {"exact", u"fix_tamrix /Q /L abc.log", kWindowsXp, CommandLineOutcome::kRun, u""},
        {"a best fit", u"fix_tamrix /Q /L \uFF41bc.log", kWindowsXp, CommandLineOutcome::kRun,
         u"\uFF41bc.log"},
        {"quoted", u"\"fix_tamrix\" /Q /L \"\uFF41bc.log\"", kWindowsXp, CommandLineOutcome::kRun,
         u"\uFF41bc.log"},
        {"another count", u"fix_tamrix /Q /L \uFF41 bc.log", kWindowsXp,
         CommandLineOutcome::kLogPathNotExact, u""},
        {"another argument", u"fix_tamrix /Q /L xyz.log", kWindowsXp,
         CommandLineOutcome::kLogPathNotExact, u""},
        {"the 95 family's ANSI command line", u"fix_tamrix /Q /L xyz.log", kWindows98,
         CommandLineOutcome::kRun, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProcessState();
        winsim::SetVersion(c.version);
        ArgumentVector command_line({"/Q", "/L", "abc.log"});
        winsim::SetCommandLine(c.line.c_str());
        const CommandLine parsed = ParseCommandLine(command_line.argc(), command_line.argv());
        EXPECT_EQ(parsed.outcome, c.outcome);
        if (c.outcome != CommandLineOutcome::kRun) {
            EXPECT_EQ(CaptureStdout([&] { EXPECT_EQ(ReportCommandLine(parsed), 2); }),
                      "Log file path after \"/L\" cannot be read exactly in this code page.\n");
            continue;
        }
        EXPECT_STREQ(parsed.log_path, "abc.log");
        EXPECT_EQ(parsed.log_path_is_wide, !c.wide.empty());
        if (parsed.log_path_is_wide) {
            EXPECT_EQ(std::u16string(parsed.log_path_wide), c.wide);
        }
    }

    // A whole run: the log and the undo data go into the folder the wide
    // path names, not into the one of its best-fit spelling.
    const TempFolder temp;
    const std::string& folder = temp.path();
    const std::string exact = folder + "/\uFF41bc";  // in UTF-8
    const std::string best_fit = folder + "/abc";
    ASSERT_EQ(mkdir(exact.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(best_fit.c_str(), 0700), 0);
    ResetProcessState();
    ArgumentVector command_line({"/Q", "/L", best_fit + "/x.log"});
    const std::u16string wide_folder = std::u16string(folder.begin(), folder.end()) + u"/\uFF41bc";
    winsim::SetCommandLine((u"fix_tamrix /Q /L " + wide_folder + u"/x.log").c_str());
    int32_t code = -1;
    const std::string output =
        CaptureStdout([&] { code = RunCleaner(command_line.argc(), command_line.argv()); });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(output.find("Could not open"), std::string::npos) << output;
    EXPECT_NE(ReadWholeFile(exact + "/x.log"), "<missing>");
    EXPECT_EQ(ReadWholeFile(best_fit + "/x.log"), "<missing>");
}

TEST_F(CommandLineTest, LogPathOfTheLongestSizeIsTakenWhole) {
    const std::string longest(kLogPathSize - 1, 'p');
    EXPECT_EQ(SetLogPath(longest.c_str()), 0);
    EXPECT_EQ(std::string(LogName()->shown), longest);
    const std::string too_long(kLogPathSize, 'q');
    EXPECT_EQ(SetLogPath(too_long.c_str()), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(LogName()->shown), longest) << "a refused path leaves the old one";
}

}  // namespace
