#include "tables/texts.h"

const char kToolName[] = "fix_tamrix";
const char kFamilyName[] = "WORM_TAMRIX";

namespace {

const char kTitle[] =
    "FIX_TAMRIX (For Variants C, E, and F)Version 1.00\n"
    "Copyright (c) 2026 Vantorelkis, Inc.\n"
    "https://www.vantorelkis.example\n";

const char kInstructions[] =
    "\n1. Delete registry entries added by the worm.\n\n"
    "For information about this virus, visit:\n"
    "\t-. https://www.vantorelkis.example/threats/info?VName=WORM_TAMRIX.C\n\n"
    "For information about this virus, visit:\n"
    "\t-. https://www.vantorelkis.example/threats/info?VName=WORM_TAMRIX.E\n\n"
    "For information about this virus, visit:\n"
    "\t-. https://www.vantorelkis.example/threats/info?VName=WORM_TAMRIX.F\n\n";

}  // namespace

const BoxTexts kBoxTexts = {kTitle, kInstructions};
