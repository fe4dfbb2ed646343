// Copies of the native program appending to one log at the same time: every
// header and every line arrives, and none is torn by another copy's write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/argument_vector.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/temp_files.h"

extern char** environ;

namespace {

// What one quiet run logs on a machine without the worm, after its header.
const char* const kRunLines[] = {
    "Quiet mode specified.",
    "Registry entry \"screen\"=\"C:\\WINDOWS\\system32\\Screen.scr\" in key "
    "\"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" was not found.",
    "Registry entry \"sys\"=\"C:\\WINDOWS\\system32\\List.txt.scr\" in key "
    "\"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" was not found.",
    "Registry entry \"sys\"=\"C:\\WINDOWS\\system32\\List480.txt.scr\" in key "
    "\"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" was not found.",
};

// "YYYY-MM-DD, hh:mm:ss,   "
bool IsStamp(const std::string& text, size_t at) {
    const char pattern[] = "dddd-dd-dd, dd:dd:dd,   ";
    if (text.size() < at + sizeof pattern - 1) return false;
    for (size_t i = 0; i + 1 < sizeof pattern; ++i) {
        const char c = text[at + i];
        if (pattern[i] == 'd' ? !isdigit(static_cast<unsigned char>(c)) : c != pattern[i]) {
            return false;
        }
    }
    return true;
}

// Starts the program with `arguments`, its output thrown away; 0 on failure.
pid_t StartProgram(const std::vector<std::string>& arguments) {
    ArgumentVector command_line(arguments, FIX_TAMRIX_EXE);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawn(&child, FIX_TAMRIX_EXE, &actions, nullptr, command_line.argv(), environ) != 0) {
        child = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

TEST(LogSharingTest, CopiesAppendingToOneLogLoseNothing) {
    constexpr int kAtATime = 8;
    constexpr int kRounds = 5;
    const TempFolder folder;
    const std::string log = folder.path() + "/shared.log";
    for (int round = 0; round < kRounds; ++round) {
        std::vector<pid_t> copies;
        for (int i = 0; i < kAtATime; ++i) {
            const pid_t child = StartProgram({"/Q", "/L", log});
            ASSERT_NE(child, 0);
            copies.push_back(child);
        }
        for (pid_t child : copies) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
    }
    // Read record by record: a header, or a stamp, a known message and "\n".
    const std::string text = ReadWholeFile(log);
    const std::string header = ExpectedText("log_header.txt");
    std::map<std::string, int> counts;
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, header.size(), header) == 0) {
            ++counts["<header>"];
            at += header.size();
            continue;
        }
        const size_t end = text.find('\n', at);
        ASSERT_TRUE(IsStamp(text, at) && end != std::string::npos)
            << "a torn record at byte " << at << ": " << text.substr(at, 200);
        ++counts[text.substr(at + 24, end - at - 24)];
        at = end + 1;
    }
    std::map<std::string, int> expected = {{"<header>", kAtATime * kRounds}};
    for (const char* line : kRunLines) expected[line] = kAtATime * kRounds;
    EXPECT_EQ(counts, expected);
}

}  // namespace
