// Quiet mode silences the pause and the prompt; /Q or "All yes" switch it on
// for the rest of the run.
#pragma once

bool IsQuietMode();
void SwitchOnQuietMode();

// Test hook, never called by the program: quiet mode off, as at process start.
void ResetQuietModeForTests();
