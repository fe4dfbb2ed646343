// The pause and the Yes/No/All-yes confirmation prompt.
#pragma once

// Prints the pause text and waits for a key (Ctrl+C: "\n\n" and exit code 1);
// nothing in quiet mode, no wait without a console.
void PauseForKey();

// True for Yes or All yes (which switches quiet mode on); yes unprinted in
// quiet mode, no when no key can be read.
bool ConfirmAction();
