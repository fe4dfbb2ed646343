// Test support for the native build: a clean layer and process state per test,
// and in-process runs of the cleaner with their console output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_files.h"
#include "winsim/test_hooks.h"

// Resets the native layer, quiet mode and the log to their state at start.
void ResetProcessState();

// The base of the native test fixtures: every test starts and ends with the
// process as at start. A fixture that does more calls these first and last.
class NativeTest : public testing::Test {
  protected:
    void SetUp() override { ResetProcessState(); }
    void TearDown() override { ResetProcessState(); }
};

struct RunResult {
    int exit_code;
    std::string output;  // everything printed, title box included
};

// Calls RunCleaner with "fix_tamrix" and `arguments`, capturing its output.
RunResult RunInProcess(const std::vector<std::string>& arguments);

// The output that follows the title box (the box's second border line).
std::string AfterTitleBox(const std::string& output);

// A fixed local time for log tests: 2026-12-08 09:05:03.
SYSTEMTIME FixedTime();
// The time stamp that starts a log line at that time.
extern const char kFixedStamp[];
// Each line of `lines` ("\n"-ended) with that stamp before it.
std::string Stamped(const std::string& lines);

// A run's log, as the run driver keeps it, in a temporary folder that also
// takes the run's undo files.
class LoggedRun {
  public:
    // Resets the process state, fixes the clock at FixedTime(), empties the
    // folder and opens the log in it (what opening prints is dropped).
    void Start();
    // Closes the run's undo file and the log, as the end of a run does.
    void Finish();
    const TempFolder& folder() const { return folder_; }
    const std::string& log_path() const { return log_path_; }
    // The log after its header ("<no log header>" and the log when it does
    // not begin with one).
    std::string LogLines() const;

  private:
    TempFolder folder_;
    std::string log_path_ = folder_.path() + "/fix_tamrix.log";
};
