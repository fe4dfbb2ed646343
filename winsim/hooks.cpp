// Recording and fault injection shared by every call of the native layer.
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "winsim/layer.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

struct Fault {
    std::string name;    // empty: match by overall call number
    unsigned remaining;  // calls still to pass before the one that fails
    bool every;          // every matching call fails
    DWORD code;
};

struct Action {
    std::string name;    // empty: run by overall call number, the actions' own calls not counted
    unsigned remaining;  // calls still to pass before the one it runs at
    std::function<void()> run;
};

struct HookState {
    std::vector<Fault> faults;
    std::vector<Action> actions;
    bool recording = false;
    std::vector<std::string> record;
    unsigned in_action = 0;  // actions running now
};

HookState& Hooks() {
    static HookState state;
    return state;
}

}  // namespace

bool CallFails(DWORD* code, const char* name, const char* detail_format, ...) {
    HookState& hooks = Hooks();
    if (hooks.recording) {
        char detail[600];
        va_list args;
        va_start(args, detail_format);
        vsnprintf(detail, sizeof detail, detail_format, args);
        va_end(args);
        hooks.record.push_back(std::string(name) + "(" + detail + ")");
    }
    for (size_t i = 0; i < hooks.actions.size(); ++i) {
        Action& action = hooks.actions[i];
        if (action.name.empty() ? hooks.in_action > 0 : action.name != name) continue;
        if (--action.remaining != 0) continue;
        // Taken off first: the action's own calls must not run it again.
        std::function<void()> run = std::move(action.run);
        hooks.actions.erase(hooks.actions.begin() + static_cast<std::ptrdiff_t>(i));
        ++hooks.in_action;
        run();
        --hooks.in_action;
        break;
    }
    for (size_t i = 0; i < hooks.faults.size(); ++i) {
        Fault& fault = hooks.faults[i];
        if (!fault.name.empty() && fault.name != name) continue;
        if (fault.every) {
            *code = fault.code;
            return true;
        }
        if (--fault.remaining == 0) {
            *code = fault.code;
            hooks.faults.erase(hooks.faults.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

void FailCall(const char* name, DWORD code, unsigned occurrence) {
    Hooks().faults.push_back(Fault{name, occurrence, occurrence == 0, code});
}

void FailNthCall(unsigned n, DWORD code) {
    if (n == 0) return;
    Hooks().faults.push_back(Fault{std::string(), n, false, code});
}

void ClearFaults() { Hooks().faults.clear(); }

void OnCall(const char* name, unsigned occurrence, std::function<void()> action) {
    if (occurrence == 0) return;
    Hooks().actions.push_back(Action{name, occurrence, std::move(action)});
}

void OnNthCall(unsigned n, std::function<void()> action) {
    if (n == 0) return;
    Hooks().actions.push_back(Action{std::string(), n, std::move(action)});
}

void RecordCalls(bool on) { Hooks().recording = on; }
const std::vector<std::string>& RecordedCalls() { return Hooks().record; }
void ClearRecordedCalls() { Hooks().record.clear(); }

void Reset() {
    HookState& hooks = Hooks();
    hooks.faults.clear();
    hooks.actions.clear();
    hooks.recording = false;
    hooks.record.clear();
    hooks.in_action = 0;
    ResetErrorTexts();
    ResetProcessFacts();
    ResetRegistry();
    ResetSystemFacts();
    ResetFiles();
    ResetFileHandles();
    ResetConsoleKeys();
}

}  // namespace winsim
