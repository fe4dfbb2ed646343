#include "scan/file_handling.h"

#include <cstdio>

#include "console/prompts.h"
#include "log/error_report.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "scan/force_delete.h"
#include "scan/result_codes.h"
#include "scan/signature_check.h"

namespace {

uint32_t infected_files = 0;
uint32_t removed_files = 0;

// Text to print for a name that may be missing.
const char* Printable(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

int32_t ScanFileForDetection(const char* path, const char* detection_name,
                             const SignatureRecord* signatures) {
    const int32_t result = CheckFileSignatures(path, signatures);
    if (result == 1) {
        ++infected_files;
        printf(" INFECTED (%s)!\n", Printable(detection_name));
        LogLine("\"%s\" was detected in file \"%s\".", Printable(detection_name), path);
        if (DeleteFileWithPrompt(path) == 0) ++removed_files;
        return 0;
    }
    // Too short or not an executable: as clean as a file without the signatures.
    if (result == 0 || result == kResultFileSize || result == kResultFileType) return 0;
    const char* text = ErrorCodeText(result);
    ReportNotice("An error occurred while scanning file \"%s\": %s", Printable(path), text);
    return 0;
}

int32_t DeleteFileWithPrompt(const char* path) {
    printf("Deleting file \"%s\"...", Printable(path));
    fflush(stdout);  // the line stays open while the user answers
    if (!ConfirmAction()) {
        printf(" Skipped.\n");
        LogLine("Deletion of file \"%s\" was skipped by the user.", Printable(path));
        return ERROR_CANCELLED;
    }
    const int32_t result = ForceDeleteFile(path);
    if (result != 0) {
        printf(" Failed.\n");
        ReportError(result, "File \"%s\" could not be deleted", Printable(path));
        return result;
    }
    printf(" Done.\n");
    LogLine("File \"%s\" was deleted.", Printable(path));
    return 0;
}

uint32_t InfectedFileCount() { return infected_files; }

uint32_t RemovedFileCount() { return removed_files; }
