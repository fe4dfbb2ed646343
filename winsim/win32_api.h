// Implemented in registry.cpp, registry_wide.cpp (the W calls), code_page.cpp
// (MultiByteToWideChar, WideCharToMultiByte), error_texts.cpp, process_facts.cpp
// (module path, command line), system_facts.cpp, files.cpp, file_handles.cpp.
// The Win32 subset that fix_tamrix uses, declared for the native (Linux) build.
// Names, types, values and contracts follow Windows; the implementations
// behave like Windows wherever the program can tell.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;  // 32 bits as on Windows, unlike Linux's long
typedef int BOOL;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char16_t WCHAR;  // UTF-16, as on Windows (Linux's wchar_t is 32 bits)
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef void* HLOCAL;
typedef void* HMODULE;
typedef void* HANDLE;
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define WINAPI
#define MAX_PATH 260

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Error codes.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_FILE_EXISTS 80L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_DISK_FULL 112L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_BADKEY 1010L
#define ERROR_KEY_DELETED 1018L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_CANCELLED 1223L
#define ERROR_INTERNAL_ERROR 1359L

// Registry.
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)
#define HKEY_PERFORMANCE_DATA ((HKEY)(uintptr_t)0x80000004u)
#define HKEY_CURRENT_CONFIG ((HKEY)(uintptr_t)0x80000005u)
#define HKEY_DYN_DATA ((HKEY)(uintptr_t)0x80000006u)

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

LONG RegOpenKeyA(HKEY key, LPCSTR sub_key, PHKEY result);
LONG RegCreateKeyA(HKEY key, LPCSTR sub_key, PHKEY result);  // tests seed keys with it
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_capacity, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size);
// The W calls read what the NT family stores, UTF-16; on the 95 family they
// answer ERROR_CALL_NOT_IMPLEMENTED.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_capacity, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size);
LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD name_capacity);
LONG RegEnumKeyW(HKEY key, DWORD index, LPWSTR name, DWORD name_capacity);
LONG RegQueryInfoKeyA(HKEY key, LPSTR class_name, LPDWORD class_capacity, LPDWORD reserved,
                      LPDWORD sub_keys, LPDWORD max_sub_key_len, LPDWORD max_class_len,
                      LPDWORD values, LPDWORD max_value_name_len, LPDWORD max_value_len,
                      LPDWORD security_descriptor, PFILETIME last_write_time);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key);
LONG RegCloseKey(HKEY key);

// Error texts and memory.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define LMEM_FIXED 0x0000u

DWORD GetLastError();
void SetLastError(DWORD code);
DWORD FormatMessageA(DWORD flags, const void* source, DWORD message_id, DWORD language_id,
                     LPSTR buffer, DWORD size, va_list* arguments);
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

// Process and system information. The W calls answer ERROR_CALL_NOT_IMPLEMENTED
// on the 95 family.
DWORD GetModuleFileNameA(HMODULE module, LPSTR file_name, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR file_name, DWORD size);
LPWSTR GetCommandLineW();
void GetLocalTime(SYSTEMTIME* time);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
DWORD GetTempPathA(DWORD size, LPSTR buffer);
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
BOOL GetUserNameA(LPSTR buffer, LPDWORD size);
DWORD GetVersion();
BOOL IsDBCSLeadByte(BYTE test_char);
// Recorded as "Sleep(<milliseconds>)", and returns at once: nothing else runs
// in the stand-in's world but what a hook does at a chosen call.
void Sleep(DWORD milliseconds);

// Text in the ANSI code page (CP_ACP, the only one here) to UTF-16.
#define CP_ACP 0u
#define WC_NO_BEST_FIT_CHARS 0x400u
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int text_length, LPWSTR wide,
                        int wide_capacity);
// UTF-16 to the ANSI code page with best-fit mapping, as the A calls convert
// (flags 0, no default character of the caller's own).
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int wide_length, LPSTR text,
                        int text_capacity, LPCSTR default_char, BOOL* used_default_char);

// Files.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004u

DWORD GetFileAttributesA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL DeleteFileA(LPCSTR path);
BOOL DeleteFileW(LPCWSTR path);
BOOL MoveFileExA(LPCSTR existing, LPCSTR new_name, DWORD flags);

// File handles.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_APPEND_DATA 0x00000004u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

typedef void* LPVOID;
typedef const void* LPCVOID;
typedef LONG* PLONG;
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

// ANSI paths name Linux files byte for byte; wide paths name them in UTF-8.
// As on Windows, a path of MAX_PATH characters or more fails (206) unless it
// is a wide one that begins with "\\?\", which lifts the limit.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share_mode, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, OVERLAPPED* overlapped);
BOOL FlushFileBuffers(HANDLE file);
BOOL SetEndOfFile(HANDLE file);
BOOL CloseHandle(HANDLE object);
// Locks of a file's bytes. The stand-in's appends are whole by themselves
// (O_APPEND), so its locks are only recorded, and never held against
// another process.
BOOL LockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high);
BOOL UnlockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low,
                DWORD bytes_high);

// The absolute form of `name`: relative to the current folder, "." and ".."
// taken out. The length without NUL, or the size needed with it when `size`
// is too small; 0 on failure.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part);
