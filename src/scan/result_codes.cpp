#include "scan/result_codes.h"

namespace {

const struct {
    int32_t code;
    const char* text;
} kResultTexts[] = {
    {0, "No error"},
    {-1, "File opening error"},
    {-2, "Parameter error"},
    {-3, "Platform error"},
    {-4, "Could not find PSAPI.DLL"},
    {-5, "Could not find KERNEL32.DLL"},
    {-6, "Process not found"},
    {-7, "Registry error"},
    {-8, "Export function error"},
    {-9, "Process opening error"},
    {-10, "Process termination error"},
    {-11, "Snapshot error"},
    {-12, "Unknown error"},
    {-13, "File creation error"},
    {-14, "Service control error"},
    {-15, "Service termination error"},
    {-16, "INI file error"},
    {-17, "Cleaning error"},
    {-18, "No INI key"},
    {-19, "Buffer limit error"},
    {-20, "Registry opening error"},
    {-21, "Registry value read error"},
    {-22, "Registry value write error"},
    {-23, "Data not found"},
    {-24, "Registry closing error"},
    {-25, "File size error"},
    {-26, "File type error"},
    {-27, "File mapping error"},
    {-28, "Unknown export error"},
};

}  // namespace

const char* ErrorCodeText(int32_t code) {
    for (const auto& row : kResultTexts) {
        if (row.code == code) return row.text;
    }
    return "Undefined error";
}
