#include "support/expected_text.h"

#include "support/capture.h"

std::string ExpectedText(const char* name) {
    const std::string path = std::string(FIX_TAMRIX_SOURCE_DIR) + "/tests/expected/" + name;
    const std::string text = ReadWholeFile(path);
    return text == "<missing>" ? "<missing expected file " + path + ">" : text;
}
