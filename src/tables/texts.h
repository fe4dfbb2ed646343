// Built-in texts of this configuration: names, the title and instructions.
#pragma once

extern const char kToolName[];    // also the base name of the default log file
extern const char kFamilyName[];  // detection family named in the usage text

// Either text may be nullptr: its box (and the pause) is then left out.
struct BoxTexts {
    const char* title;
    const char* instructions;
};

extern const BoxTexts kBoxTexts;
