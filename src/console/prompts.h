// The pause and the Yes/No/All-yes confirmation prompt.
#pragma once

// Prints the pause text and waits for one key; Ctrl+C ends the process with
// exit code 1 after "\n\n". Does nothing in quiet mode. Without a console it
// prints its texts and returns at once.
void PauseForKey();

// Asks for Yes, No or All yes; true for yes. "All yes" switches quiet mode on.
// In quiet mode answers yes without printing. When no key can be read it
// answers no, printing no answer text.
bool ConfirmAction();
