// Quiet mode: the one process-wide switch that silences the pause and the
// confirmation prompt. Off at start; switched on by /Q or by "All yes".
#pragma once

bool IsQuietMode();
void SetQuietMode(bool on);
