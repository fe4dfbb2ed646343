// Built-in detections of this configuration: the signature list of
// WORM_TAMRIX.A, the detection table and the scan job that names it.
#pragma once

#include "scan/detection.h"

// Three selected records and the terminating record of zeros.
extern const SignatureRecord kTamrixSignatures[];
// One row for WORM_TAMRIX.A, then a row of zeros.
extern const DetectionEntry kDetectionTable[];
// File mask "*" and the detection table.
extern const ScanJob kScanJob;
