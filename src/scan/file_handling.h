// What happens to one file once its signature check has judged it: report,
// confirmation, removal, and the counters of infected and removed files.
#pragma once

#include <cstdint>

#include "scan/detection.h"

// A detection row's handler: an infected file is counted, reported and offered
// for deletion; a check that fails for another reason is reported. Returns 0.
int32_t ScanFileForDetection(const char* path, const char* detection_name,
                             const SignatureRecord* signatures);

// Announces the deletion of `path`, asks ConfirmAction and deletes by force.
// 0 deleted or scheduled for deletion at restart; 1223 (ERROR_CANCELLED) when
// declined; otherwise the Win32 code of the failed deletion, already reported.
int32_t DeleteFileWithPrompt(const char* path);

// Files found infected and infected files removed since the process started.
uint32_t InfectedFileCount();
uint32_t RemovedFileCount();
