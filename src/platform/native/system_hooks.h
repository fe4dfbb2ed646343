// Test hooks of the native layer's system information. Defaults after Reset:
// Windows folder "C:\WINDOWS", system folder "C:\WINDOWS\system32", temporary
// folder "C:\WINDOWS\TEMP\", computer "TESTPC", user "tester", the NT family,
// a single-byte code page.
#pragma once

#include "platform/native/win32_api.h"

namespace native {

void SetWindowsDirectory(const char* path);
void SetSystemDirectory(const char* path);
void SetTempPath(const char* path);
void SetComputerName(const char* name);
void SetUserName(const char* name);
void SetVersion(DWORD version);  // bit 31 set: the 95 family
// Bytes from `first` to `last` become lead bytes of a double-byte code page
// (IsDBCSLeadByte); first > last gives a single-byte code page again.
void SetDbcsLeadBytes(BYTE first, BYTE last);

}  // namespace native
