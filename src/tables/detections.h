// Built-in detections of this configuration: the signature list of
// WORM_TAMRIX.A, the detection table and the scan job that names it.
#pragma once

#include "scan/detection.h"

extern const SignatureRecord kTamrixSignatures[];
extern const DetectionEntry kDetectionTable[];
extern const ScanJob kScanJob;
