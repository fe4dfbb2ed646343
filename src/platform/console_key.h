// Single key presses from the console itself, not standard input.
#pragma once

// One key press's character, without echo, Ctrl+C as 3; a key without one
// gives 0 or 224, then its scan code at the next call. -1 without a console.
int ReadConsoleKey();
