// The log file, its header and lines, and error reports with system texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "log/error_report.h"
#include "log/log_file.h"
#include "platform/write_turn.h"
#include "registry/undo_file.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/native_run.h"
#include "support/windows_versions.h"

namespace {

const std::string kHeader = ExpectedText("log_header.txt");
const std::string kStamp = kFixedStamp;

// SystemErrorText(code) as a string ("<none>" for none), freed again.
std::string SystemTextOf(int32_t code) {
    char* text = SystemErrorText(code);
    const std::string copy = text != nullptr ? text : "<none>";
    FreeSystemErrorText(text);
    return copy;
}

class LogTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        winsim::SetLocalTime(FixedTime());
    }
    LoggedRun run_;
    const std::string& path_ = run_.log_path();
    const std::string& folder_ = run_.folder().path();
};

TEST_F(LogTest, HeaderAndLines) {
    ASSERT_EQ(SetLogPath(path_.c_str()), 0);
    LogLine("before %d", 1);  // nothing is open yet
    LogOpen("fix_tamrix");
    ASSERT_TRUE(LogIsOpen());
    EXPECT_EQ(ReadWholeFile(path_), kHeader) << "the header is flushed at once";
    LogLine("Quiet mode specified.");
    EXPECT_EQ(ReadWholeFile(path_), kHeader + kStamp + "Quiet mode specified.\n")
        << "each line is flushed at once";
    LogLine("%s=%u, 100%% %s", "a", 7u, "done");
    LogClose();
    LogLine("after");
    EXPECT_FALSE(LogIsOpen());
    EXPECT_EQ(ReadWholeFile(path_),
              kHeader + kStamp + "Quiet mode specified.\n" + kStamp + "a=7, 100% done\n");
}

// A record takes at most 1024 bytes in the file, line ends counted as the two
// bytes they take on Windows, so that it always goes in one system write:
// longer lines are cut, their line end kept.
TEST_F(LogTest, LongLinesAreCutToOneRecord) {
    const size_t stamp = kStamp.size();
    const size_t room = 1022 - stamp;  // for the message: 1024 less the final line end
    const std::string fits(room, 'm');
    struct Case {
        std::string message;
        std::string logged;
    };
    const Case cases[] = {
        {fits, fits},
        {fits + "tail", fits},
        {std::string(5000, 'x'), std::string(room, 'x')},
        {std::string(room / 2, '\n'), std::string(room / 2, '\n')},
        {std::string(room, '\n'), std::string(room / 2, '\n')},
        {std::string(room - 1, 'a') + "\nb", std::string(room - 1, 'a')},
        {"100% safe: %s %n", "100% safe: %s %n"},  // a message is never a format
    };
    run_.Start();
    std::string expected = kHeader;
    for (const Case& c : cases) {
        LogLine("%s", c.message.c_str());
        expected += kStamp + c.logged + "\n";
    }
    const std::string long_name(2000, 'n');
    CaptureStdout(
        [&] { ReportError(ERROR_ACCESS_DENIED, "Value \"%s\" failed", long_name.c_str()); });
    expected += kStamp + ("Value \"" + long_name).substr(0, room) + "\n";
    run_.Finish();
    EXPECT_EQ(ReadWholeFile(path_), expected);
}

TEST_F(LogTest, EachOpeningAppendsAHeader) {
    WriteWholeFile(path_, "earlier run\n");
    SetLogPath(path_.c_str());
    LogOpen("fix_tamrix");
    LogLine("one");
    LogClose();
    LogOpen("fix_tamrix");  // the same path again, appended
    LogOpen("fix_tamrix");  // already open: only the header again
    LogClose();
    LogClose();  // closing twice is harmless
    EXPECT_EQ(ReadWholeFile(path_),
              std::string("earlier run\n") + kHeader + kStamp + "one\n" + kHeader + kHeader);
}

TEST_F(LogTest, TimeStampFieldsAreZeroPadded) {
    // Year, month, day of the week, day, hour, minute, second, milliseconds.
    const SYSTEMTIME time = {987, 1, 5, 2, 0, 0, 59, 999};
    run_.Start();
    winsim::SetLocalTime(time);
    LogLine("x");
    run_.Finish();
    EXPECT_EQ(ReadWholeFile(path_), kHeader + "0987-01-02, 00:00:59,   x\n");
}

TEST_F(LogTest, ClosedLogReadsNoClock) {
    winsim::RecordCalls(true);
    LogLine("nothing");
    EXPECT_TRUE(winsim::RecordedCalls().empty());
}

// A log that cannot be opened (a folder), or whose header cannot be written
// whole, is no log; a line that cannot be written is said once, and the log
// is closed. Either way the console tells, and nothing more goes into the file.
// A turn lock that another program keeps costs one wait in a run, not one a
// line: every line still arrives.
TEST_F(LogTest, UnwritableLogIsSaidAndLeftAlone) {
    const std::string opening = "\nCould not open log file \"" + path_ + "\".\n";
    const std::string full =
        "\nCould not write to log file \"" + path_ + "\": There is not enough space on the disk.\n";
    const struct {
        const char* failing;  // the call made to fail (nullptr: the log is a folder)
        unsigned occurrence;  // 0: every such call
        std::string console, file;
        unsigned waits = 0;  // the 1 ms sleeps of waiting for turns
        DWORD code = ERROR_DISK_FULL;
    } cases[] = {
        {nullptr, 0, "\nCould not open log file \"" + folder_ + "\".\n", "<missing>"},
        {"fwrite", 1, opening, ""},
        {"fflush", 1, opening, ""},
        {"fwrite", 2, full, kHeader},
        {"fflush", 2, full, kHeader},
        {"fwrite", 3, full, kHeader + kStamp + "one\n"},
        {"LockFile", 0, "", kHeader + kStamp + "one\n" + kStamp + "two\n", kWriteTurnTries,
         ERROR_LOCK_VIOLATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.failing ? c.failing : "a folder") + " " +
                     std::to_string(c.occurrence));
        ResetLogForTests();
        remove(path_.c_str());
        SetLogPath((c.failing != nullptr ? path_ : folder_).c_str());
        if (c.failing != nullptr) winsim::FailCall(c.failing, c.code, c.occurrence);
        EXPECT_EQ(CaptureStdout([] {
                      LogOpen("fix_tamrix");
                      LogLine("one");
                      LogLine("two");
                  }),
                  c.console);
        winsim::ClearFaults();
        EXPECT_EQ(WriteTurnWaits(), c.waits);
        EXPECT_EQ(ReadWholeFile(path_), c.file);
        EXPECT_EQ(LogIsOpen(), c.waits > 0);
        EXPECT_EQ(CaptureStdout([] { ReportError(5, "Could not do %s", "it"); }),
                  "\nCould not do it: Access is denied.\n");
    }
}

TEST_F(LogTest, DefaultPathBesideTheProgram) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(folder_.c_str()), 0);  // relative defaults land in the temp folder
    const std::string in_folder = folder_ + "/fix_tamrix";
    // A folder far beyond MAX_PATH: the log opens there all the same.
    const std::string long_folder =
        folder_ + "/" + std::string(150, 'e') + "/" + std::string(150, 'f');
    for (const std::string& made :
         {long_folder.substr(0, long_folder.size() - 151), long_folder, folder_ + "/\x95"}) {
        ASSERT_EQ(mkdir(made.c_str(), 0700), 0);
    }
    struct Case {
        std::string module;  // "": GetModuleFileNameA fails
        std::string expected;
        bool double_byte;     // 0x81..0xFE lead double-byte characters
        const char* failing;  // a call that fails, or nullptr
    };
    const Case cases[] = {
        {in_folder, folder_ + "/fix_tamrix.log", false, nullptr},
        {"fix_tamrix", "fix_tamrix.log", false, nullptr},
        {"", "fix_tamrix.log", false, "GetModuleFileNameA"},
        {long_folder + "/fix_tamrix", long_folder + "/fix_tamrix.log", false, nullptr},
        // A program file whose name's double-byte character ends in the
        // separator's byte (no code page pairs a lead byte with '/'; on
        // Windows it is the backslash, as in code page 932's 0x95 0x5C).
        {folder_ + "/x\x95/fix_tamrix", folder_ + "/fix_tamrix.log", true, nullptr},
        {folder_ + "/\x95//fix_tamrix", folder_ + "/\x95//fix_tamrix.log", true, nullptr},
        // Which folder the ANSI path means cannot be told: the current one.
        {in_folder, "fix_tamrix.log", false, "GetModuleFileNameW"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.substr(0, 40));
        ResetProcessState();
        if (c.double_byte) winsim::SetDbcsLeadBytes(0x81, 0xFE);
        if (c.failing != nullptr) winsim::FailCall(c.failing, ERROR_FILE_NOT_FOUND);
        if (!c.module.empty()) winsim::SetModuleFileName(c.module.c_str());
        const std::string console = CaptureStdout([] { LogOpen("fix_tamrix"); });
        ASSERT_NE(LogName(), nullptr);
        EXPECT_EQ(std::string(LogName()->shown), c.expected);
        EXPECT_EQ(ReadWholeFile(c.expected), kHeader);
        remove(c.expected.c_str());
        // The current folder is never taken silently.
        EXPECT_EQ(console.find("\nThe program's folder could not be read, so the log goes to "
                               "\"fix_tamrix.log\": ") != std::string::npos,
                  c.expected == "fix_tamrix.log")
            << console;
        LogClose();
    }
    ASSERT_EQ(chdir(cwd), 0);
}

// A program folder whose name does not fit the code page: the A call gives a
// best-fit spelling, the name of another folder (here one that exists). The
// log and the undo file go into the program's own folder, named through its
// wide path, and are shown with '?' for what the code page lacks, never by
// the other folder's name; on the 95 family the ANSI path is the file
// system's own.
TEST_F(LogTest, DefaultLogInTheProgramsExactFolder) {
    const std::string exact = folder_ + "/\uFF41bc";  // in UTF-8
    const std::string best_fit = folder_ + "/abc";
    const std::u16string wide = std::u16string(folder_.begin(), folder_.end()) + u"/\uFF41bc/prog";
    ASSERT_EQ(mkdir(exact.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(best_fit.c_str(), 0700), 0);
    struct Case {
        const char* what;
        DWORD version;
        std::string written;  // the folder the files land in
        std::string shown;    // and as the console and the log show it
    };
    const Case cases[] = {
        {"NT family", kWindowsXp, exact, folder_ + "/?bc"},
        {"95 family", kWindows98, best_fit, best_fit},
    };
    static UndoFile undo;
    const std::string beside = "/fix_tamrix_undo_20261208_090503.reg";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProcessState();
        winsim::SetLocalTime(FixedTime());
        winsim::SetVersion(c.version);
        winsim::SetWideModuleFileName(wide.c_str());
        const std::string output = CaptureStdout([] {
            LogOpen("fix_tamrix");
            LogLine("a line");
        });
        EXPECT_EQ(output, "");
        ASSERT_NE(LogName(), nullptr);
        EXPECT_EQ(std::string(LogName()->shown), c.shown + "/fix_tamrix.log");
        EXPECT_EQ(OpenUndoFile(&undo, reinterpret_cast<const BYTE*>("h"), 1), 0);
        EXPECT_EQ(std::string(undo.name.shown), c.shown + beside);
        CloseUndoFile(&undo);
        LogClose();
        EXPECT_NE(ReadWholeFile(c.written + "/fix_tamrix.log").find("a line"), std::string::npos);
        EXPECT_EQ(ReadWholeFile(c.written + beside), "h");
        for (const std::string& other : {exact, best_fit}) {
            if (other != c.written) {
                EXPECT_EQ(ReadWholeFile(other + "/fix_tamrix.log"), "<missing>") << other;
                EXPECT_EQ(ReadWholeFile(other + beside), "<missing>") << other;
            }
            remove((other + "/fix_tamrix.log").c_str());
            remove((other + beside).c_str());
        }
    }
}

TEST_F(LogTest, SystemErrorTextTrimsTrailingLineBreaks) {
    struct Case {
        const char* system_text;
        std::string expected;
    };
    const Case cases[] = {
        {"Access is denied.\r\n", "Access is denied."},
        {"Two lines\r\nof text\r\n\r\n\n", "Two lines\r\nof text"},
        {"No break", "No break"},
        {"x", "x"},
        {"\n", "\n"},
        {"\r", "\r"},
        {"\r\n", "\r"},
        {"\n\r\n\r\n", "\n"},
        {"a\n", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system_text);
        winsim::SetSystemMessage(5, c.system_text);
        EXPECT_EQ(SystemTextOf(5), c.expected);
    }
    FreeSystemErrorText(nullptr);
}

TEST_F(LogTest, SystemErrorTextWithoutASystemText) {
    winsim::SetSystemMessage(5, nullptr);
    EXPECT_EQ(SystemTextOf(5), "5");
    EXPECT_EQ(SystemTextOf(-1), "4294967295");  // the 32 bits read without sign
    winsim::FailCall("FormatMessageA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(SystemTextOf(2), "2");

    winsim::FailCall("FormatMessageA", ERROR_NOT_ENOUGH_MEMORY);
    winsim::FailCall("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(SystemErrorText(2), nullptr);
}

TEST_F(LogTest, ReportErrorOnConsoleAndLog) {
    run_.Start();
    std::string output = CaptureStdout([] {
        printf("Deleting registry value \"a\" in key \"b\"...");
        ReportError(ERROR_ACCESS_DENIED, "Registry value \"%s\" could not be deleted", "a");
    });
    EXPECT_EQ(output,
              "Deleting registry value \"a\" in key \"b\"...\n"
              "Registry value \"a\" could not be deleted: Access is denied.\n");
    EXPECT_EQ(ReadWholeFile(path_), kHeader + kStamp +
                                        "Registry value \"a\" could not be deleted: Access is "
                                        "denied.\n");

    winsim::FailCall("FormatMessageA", ERROR_NOT_ENOUGH_MEMORY);
    winsim::FailCall("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    output = CaptureStdout([] { ReportError(2, "Gone %d", 1); });
    EXPECT_EQ(output, "\nGone 1: \n") << "no text at all: empty after the colon";
    LogClose();
    EXPECT_EQ(ReadWholeFile(path_), kHeader + kStamp +
                                        "Registry value \"a\" could not be deleted: Access is "
                                        "denied.\n" +
                                        kStamp + "Gone 1: \n");
}

}  // namespace
