// The framed text box: word wrap, indentation, bullets, alignment, paging.
#pragma once

#include <cstdint>

enum BoxAlignment : int32_t { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };

// Prints `text` framed (any alignment other than 1 or 2 is left); a null text
// prints nothing. Pages longer than a window are separated by PauseForKey.
void PrintBox(int32_t alignment, const char* text);

// Prints the border line that opens and closes a box.
void PrintBoxBorder();
