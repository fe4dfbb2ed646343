// Implemented in hooks.cpp and in the file of each part named below.
// Test hooks of winsim, the native stand-in of Win32: seed its state, fix the
// clock, record the calls made, make any call fail with a chosen code and count
// open handles.
// Only tests, benchmarks and fuzzers include this header.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "winsim/win32_api.h"

namespace winsim {
// Puts the whole layer back as on a fresh machine: no faults, no recording,
// real clock, default system texts, empty registry, default system facts.
void Reset();

// --- Faults -------------------------------------------------------------
// The occurrence-th call named `name` from now on fails with `code`
// (occurrence 0: every call of that name fails until ClearFaults).
void FailCall(const char* name, DWORD code, unsigned occurrence = 1);
// The n-th layer call from now on (1-based, any name) fails with `code`.
void FailNthCall(unsigned n, DWORD code);
void ClearFaults();
// Runs `action` when the occurrence-th call named `name` from now on is made,
// before that call does anything: another program acting at that moment.
// The action's own layer calls are made as any others.
void OnCall(const char* name, unsigned occurrence, std::function<void()> action);
// Runs `action` at the n-th layer call from now on (1-based, any name, as
// RecordedCalls lists them), before that call does anything; the calls that
// actions make are not counted.
void OnNthCall(unsigned n, std::function<void()> action);

// --- Recording ------------------------------------------------------------
// While on, every layer call appends "Name(detail)" to the record.
void RecordCalls(bool on);
const std::vector<std::string>& RecordedCalls();
void ClearRecordedCalls();

// --- Clock, process, error texts -------------------------------------------
void SetLocalTime(const SYSTEMTIME& time);  // fixed until Reset
void SetModuleFileName(const char* path);   // nullptr: the real executable path
// The program's path as the W call gives it; the A call then gives its
// best-fit conversion, as Windows does (nullptr: none, the A path widened).
void SetWideModuleFileName(const char16_t* path);
// What GetCommandLineW gives (nullptr: this process's own arguments, widened
// and quoted as CommandLineOf does).
void SetCommandLine(const char16_t* line);
// `arguments` (ANSI) widened and joined into a command line that the C
// runtime splits back into them: each quoted when it is empty or holds a
// blank or a quote, backslashes before a quote doubled.
std::u16string CommandLineOf(const std::vector<std::string>& arguments);
// Replaces the system text of `code` (as FormatMessageA returns it, line end
// included); nullptr removes the code's text so FormatMessageA fails with 317.
void SetSystemMessage(DWORD code, const char* text);

// --- Console keys (console_key.cpp) -------------------------------------------
// Test hooks of the native console key reader. After Reset the reader is
// scripted with no keys (it returns -1 at once, as without a console), so
// unit tests never wait on the real terminal; the program itself, which never
// calls Reset, reads the controlling terminal.
// Keys that ReadConsoleKey returns, one code per call, then -1. A key without
// a character is scripted as its two codes, e.g. {224, 72} for Up.
void ScriptConsoleKeys(std::initializer_list<int> keys);

// --- Files (files.cpp) ---------------------------------------------------------
// Test hooks of the native layer's file services. Attributes other than
// read-only (which is the owner's write bit) are kept by the layer per path;
// deletions at restart are recorded instead of written to a registry.
// What MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT scheduled, in call order:
// the path for a deletion, "path -> new path" for a rename.
const std::vector<std::string>& RestartOperations();

// Without administrator rights scheduling at restart fails with 5, as on
// Windows. On after Reset.
void SetAdministrator(bool on);

// File handles (CreateFileA) opened and not yet closed. Share modes are kept
// between the handles of this process only.
unsigned OpenFileHandleCount();

// --- Registry (registry.cpp, registry_wide.cpp, registry_text.cpp, registry_file.cpp) ---
// Test hooks of the native registry: seed and read it as .reg text, count
// open handles, stand in for FIX_TAMRIX_REGISTRY. (Calls are recorded and
// faults injected through this header.)
//
// Recorded calls name keys by their full path as created, subkeys and value
// names as passed ("NULL" for a null pointer, nothing for ""):
//   RegOpenKeyA(HKEY_CURRENT_USER\K, B)      RegCreateKeyA(HKEY_CURRENT_USER, K\B)
//   RegQueryValueExA(HKEY_CURRENT_USER\K, Name)   RegSetValueExA(<key>, <name>)
//   RegEnumValueA(<key>, 0)   RegEnumKeyA(<key>, 1)   RegQueryInfoKeyA(<key>)
//   RegDeleteValueA(<key>, <name>)   RegDeleteKeyA(<key>, <subkey>)   RegCloseKey(<key>)
// A closed or unknown handle shows as "<invalid 0x...>"; a deleted key by its former path.
// A fault injected into any call makes it do nothing: a failed RegCloseKey keeps its handle.
// Replaces the whole registry with the keys and values of `.reg` text as
// Wine's `reg import` reads it ("REGEDIT4" or "Windows Registry Editor
// Version 5.00" header; string, dword, hex and default values; [-key] and
// "name"=- delete what the text created before them; text in hex is UTF-16
// in a UTF-16 text and ANSI bytes otherwise, and gets a final NUL when it
// has none). Every open handle is closed.
// False, with "line N: ..." in *error, when the text cannot be read or holds
// a character that the code page cannot hold; the registry is then unchanged.
bool LoadRegistryText(const std::string& text, std::string* error = nullptr);

// Adds `.reg` text to the registry as `reg import` does: open handles stay
// open, [-key] and "name"=- delete what is there; value names and text of a
// UTF-16 text that the code page cannot hold are kept in UTF-16, as
// SetWideValue keeps them (text in hex that lacks its final NUL unit gets one,
// and an odd last byte is lost, as under Wine). False, with "line N: ...",
// at the first line that cannot be read; the lines before it have been applied.
bool ImportRegistryText(const std::string& text, std::string* error = nullptr);

// The whole registry as "Windows Registry Editor Version 5.00" text, keys and
// values in creation order, ANSI, lines ending in "\n". A key has its [header] when
// it holds values or has no subkeys (a root only when it holds values).
std::string SaveRegistryText();

// Stores a value as the NT family's registry keeps text, in UTF-16: the W
// calls read `name` and `data` as given, while the A calls see them converted
// to code page 1252 with best-fit mapping, as Windows and Wine do (a Latin
// letter loses its diacritic, a full-width form becomes ASCII, what has no fit
// becomes '?'). A lookup by ANSI name finds the value only when that name
// widens to `name`. `data` is `size` bytes, UTF-16LE for the text types.
// Creates HKEY `root`\`sub_key` as needed; false for a handle that is not a root.
bool SetWideValue(HKEY root, const char* sub_key, const char16_t* name, DWORD type,
                  const void* data, size_t size);

// Creates HKEY `root`\`sub_key`\`path` with what is missing of it, the keys
// of `path` (UTF-16, names separated by backslashes) with wide names, as the
// NT family keeps key names: the W calls see them as given, the A calls
// converted as for SetWideValue, and an A call opens one only by a name that
// widens to it. True when the keys are there; false for a handle that is not
// a root, or an empty name or one longer than 255 units in `path`.
bool SetWideKey(HKEY root, const char* sub_key, const char16_t* path);

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

// --- System information (system_facts.cpp) -------------------------------------
// Test hooks of the native layer's system information. Defaults after Reset:
// Windows folder "C:\WINDOWS", system folder "C:\WINDOWS\system32", temporary
// folder "C:\WINDOWS\TEMP\", computer "TESTPC", user "tester", the NT family,
// a single-byte code page.
void SetWindowsDirectory(const char* path);
void SetSystemDirectory(const char* path);
void SetTempPath(const char* path);
void SetComputerName(const char* name);
void SetUserName(const char* name);
void SetVersion(DWORD version);  // bit 31 set: the 95 family, whose registry has no W calls
// Bytes from `first` to `last` become lead bytes of a double-byte code page
// (IsDBCSLeadByte); first > last gives a single-byte code page again.
void SetDbcsLeadBytes(BYTE first, BYTE last);

}  // namespace winsim
