// Quiet mode: the one process-wide switch that silences the pause and the
// confirmation prompt. Off at start; switched on by /Q or by "All yes", and
// never off again during a run.
#pragma once

bool IsQuietMode();
void SwitchOnQuietMode();

// Test hook, never called by the program: quiet mode off, as at process start.
void ResetQuietModeForTests();
