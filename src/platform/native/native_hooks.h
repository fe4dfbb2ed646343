// Test hooks of the native layer: seed its state, fix the clock, record the
// calls made, make any call fail with a chosen code and count open handles.
// Only tests, benchmarks and fuzzers include this header.
#pragma once

#include <string>
#include <vector>

#include "platform/native/console_hooks.h"
#include "platform/native/file_hooks.h"
#include "platform/native/registry_hooks.h"
#include "platform/native/system_hooks.h"
#include "platform/native/win32_api.h"

namespace native {

// Puts the whole layer back as on a fresh machine: no faults, no recording,
// real clock, default system texts, empty registry, default system facts.
void Reset();

// --- Faults -------------------------------------------------------------
// The occurrence-th call named `name` from now on fails with `code`
// (occurrence 0: every call of that name fails until ClearFaults).
void FailCall(const char* name, DWORD code, unsigned occurrence = 1);
// The n-th layer call from now on (1-based, any name) fails with `code`.
void FailNthCall(unsigned n, DWORD code);
void ClearFaults();

// --- Recording ------------------------------------------------------------
// While on, every layer call appends "Name(detail)" to the record.
void RecordCalls(bool on);
const std::vector<std::string>& RecordedCalls();
void ClearRecordedCalls();
// Layer calls made since Reset (counted whether recording is on or not).
unsigned CallCount();

// --- Clock, process, error texts -------------------------------------------
void SetLocalTime(const SYSTEMTIME& time);  // fixed until UseRealClock
void UseRealClock();
void SetModuleFileName(const char* path);   // nullptr: the real executable path
// Replaces the system text of `code` (as FormatMessageA returns it, line end
// included); nullptr removes the code's text so FormatMessageA fails with 317.
void SetSystemMessage(DWORD code, const char* text);

}  // namespace native
