#include "support/recorded_calls.h"

#include <gtest/gtest.h>

#include "winsim/test_hooks.h"

bool IsCallOf(const std::string& call, std::initializer_list<const char*> starts) {
    for (std::string start : starts) {
        if (start.find('(') == std::string::npos) start += '(';
        if (call.rfind(start, 0) == 0) return true;
    }
    return false;
}

std::vector<std::string> RecordedCallsOf(std::initializer_list<const char*> starts) {
    std::vector<std::string> found;
    for (const std::string& call : winsim::RecordedCalls()) {
        if (IsCallOf(call, starts)) found.push_back(call);
    }
    return found;
}

std::vector<std::string> SweepEveryCall(
    const std::function<void()>& arrange, const std::function<void()>& run,
    const std::function<void(const std::vector<std::string>&, size_t)>& check, DWORD code) {
    arrange();
    winsim::ClearRecordedCalls();
    winsim::RecordCalls(true);
    run();
    winsim::RecordCalls(false);
    const std::vector<std::string> calls = winsim::RecordedCalls();
    winsim::ClearFaults();
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i + 1) + " of " + std::to_string(calls.size()) +
                     ": " + calls[i]);
        arrange();
        winsim::FailNthCall(static_cast<unsigned>(i + 1), code);
        run();
        winsim::ClearFaults();
        check(calls, i);
    }
    return calls;
}
