// The stand-in's ANSI code page: Windows-1252, or the double-byte code page
// whose lead bytes a test chose, between ANSI text and UTF-16.
#pragma once

#include <cstddef>
#include <string>

namespace winsim {

// Widens the character that starts `text` (`left` bytes remain, at least 1)
// into *unit and returns the bytes it took: 2 for a lead byte with its trail
// byte, else 1. A double-byte pair becomes a stand-in character of its own
// that NarrowWideUnit gives back.
size_t WidenAnsiChar(const char* text, size_t left, char16_t* unit);

// Narrows one UTF-16 unit as the A calls do, with best-fit mapping: the
// code page's own character where it has one, else a look-alike (a Latin
// letter without its diacritic, a full-width form as ASCII), else '?'.
// Writes 1 or 2 bytes to `out` (room for 2) and returns the count.
size_t NarrowWideUnit(char16_t unit, char* out);

// Whole texts converted as above: `length` bytes widened, `length` units narrowed.
std::u16string WidenText(const char* text, size_t length);
std::string NarrowText(const char16_t* wide, size_t length);

// A wide path as the Linux file it names: UTF-8 (a lone surrogate as U+FFFD).
std::string HostPath(const char16_t* wide);
// And back: a Linux path's UTF-8 as the wide path that names it.
std::u16string WidePath(const std::string& host);

}  // namespace winsim
