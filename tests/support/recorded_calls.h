// The native layer's record of calls: the calls of some names, and a run
// with each of its calls failing once, in turn.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/platform.h"

// Whether the recorded `call` begins with one of `starts`: a call's name
// ("RegOpenKeyA"), or the start of its text with the parenthesis
// ("RegOpenKeyA(HKEY_CURRENT_USER, ").
bool IsCallOf(const std::string& call, std::initializer_list<const char*> starts);
// The calls recorded so far that do.
std::vector<std::string> RecordedCallsOf(std::initializer_list<const char*> starts);

// Runs `arrange` and then `run` with the calls of `run` recorded; then, for
// each call recorded, `arrange`, that call failing once with `code`, `run`,
// the faults cleared and `check(calls, i)` (calls[i] failed), under a trace
// naming the call. Faults that `run` adds come after that one, so that a
// fault of every call of a name cannot hide those calls from the count.
// Returns the calls recorded.
std::vector<std::string> SweepEveryCall(
    const std::function<void()>& arrange, const std::function<void()>& run,
    const std::function<void(const std::vector<std::string>&, size_t)>& check,
    DWORD code = ERROR_ACCESS_DENIED);
