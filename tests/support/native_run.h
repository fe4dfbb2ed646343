// Test support for the native build: a clean layer and process state per test,
// and in-process runs of the cleaner with their console output.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

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
RunResult RunInProcess(std::initializer_list<std::string> arguments);

// The output that follows the title box (the box's second border line).
std::string AfterTitleBox(const std::string& output);

// A fixed local time for log tests: 2026-12-08 09:05:03.
SYSTEMTIME FixedTime();
