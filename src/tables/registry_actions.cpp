#include "tables/registry_actions.h"

#include "platform/platform.h"
#include "registry/match_registry_data.h"

namespace {

const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

// Each row deletes a start-up value only when it names one of the worm's files
// in the system folder; the two "sys" rows each report the other as not found.
const RegistryAction kRegistryActions[] = {
    {kRunKey,
     "screen",
     {REG_SZ, "%system%\\Screen.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {kRunKey,
     "sys",
     {REG_SZ, "%system%\\List.txt.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {kRunKey,
     "sys",
     {REG_SZ, "%system%\\List480.txt.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
};
