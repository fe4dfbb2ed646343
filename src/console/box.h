// The framed text box: word wrap, indentation, bullets, alignment, paging.
#pragma once

#include <cstdint>

enum BoxAlignment : int32_t { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };

// Prints `text` framed (any alignment value other than centre or right is
// laid out as left); a null text prints nothing. Pages longer than a window
// are separated by PauseForKey.
void PrintBox(BoxAlignment alignment, const char* text);
