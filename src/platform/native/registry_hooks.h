// Test hooks of the native registry: seed and read it as .reg text, count
// open handles, stand in for FIX_TAMRIX_REGISTRY. (Calls are recorded and
// faults injected through native_hooks.h.)
//
// Recorded calls name keys by their full path as created, subkeys and value
// names as passed ("NULL" for a null pointer, nothing for ""):
//   RegOpenKeyA(HKEY_CURRENT_USER\K, B)      RegCreateKeyA(HKEY_CURRENT_USER, K\B)
//   RegQueryValueExA(HKEY_CURRENT_USER\K, Name)   RegSetValueExA(<key>, <name>)
//   RegEnumValueA(<key>, 0)   RegEnumKeyA(<key>, 1)   RegQueryInfoKeyA(<key>)
//   RegDeleteValueA(<key>, <name>)   RegDeleteKeyA(<key>, <subkey>)   RegCloseKey(<key>)
// A closed or unknown handle shows as "<invalid 0x...>"; a deleted key by its former path.
// A fault injected into any call makes it do nothing: a failed RegCloseKey keeps its handle.
#pragma once

#include <string>

namespace native {

// Replaces the whole registry with the keys and values of `.reg` text
// ("REGEDIT4" or "Windows Registry Editor Version 5.00" header; string,
// expandable string, dword, hex and default values; [-key] and "name"=-
// delete what the text created before them; text in hex is UTF-16 in a
// UTF-16 text and ANSI bytes otherwise, as Wine's `reg import` reads it).
// Every open handle is closed.
// False, with "line N: ..." in *error, when the text cannot be read; the
// registry is then unchanged.
bool LoadRegistryText(const std::string& text, std::string* error = nullptr);

// The whole registry as "Windows Registry Editor Version 5.00" text, keys and
// values in creation order, ANSI, lines ending in "\n". A key has its [header] when
// it holds values or has no subkeys (a root only when it holds values).
std::string SaveRegistryText();

// Registry handles opened and not yet closed (predefined roots not counted).
unsigned OpenHandleCount();

// As if FIX_TAMRIX_REGISTRY named `path` (nullptr: no file): the file is read
// at the next registry call (a missing file is an empty registry); a file
// that cannot be read makes every registry call fail with ERROR_BADDB (1009)
// and is never written. Reset forgets the file and the environment.
void UseRegistryFile(const char* path);

// What the program does at exit: writes the registry back to its file when a
// call changed it since it was read. False, with a message, when that fails.
bool WriteBackRegistryFile(std::string* error = nullptr);

}  // namespace native
