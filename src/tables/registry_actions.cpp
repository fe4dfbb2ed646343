#include "tables/registry_actions.h"

#include "platform/platform.h"
#include "registry/match_registry_data.h"

namespace {

const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A start-up value, deleted only when it names the worm's `file` in the system folder.
constexpr RegistryAction RunValue(const char* name, const char* file) {
    return {kRunKey, name, {REG_SZ, file, 0}, {REG_SZ, nullptr, 0}, MatchRegistryData};
}

}  // namespace

// The two "sys" rows each report the other as not found.
const RegistryAction kRegistryActions[] = {
    RunValue("screen", "%system%\\Screen.scr"),
    RunValue("sys", "%system%\\List.txt.scr"),
    RunValue("sys", "%system%\\List480.txt.scr"),
    {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
};
