// The native registry's .reg reader and writer on arbitrary text: whatever
// loads saves to a text that loads to the same keys and values and saves to
// itself again, so a registry file written back loses nothing. A first byte
// of 1 switches to a double-byte code page.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "winsim/test_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    winsim::Reset();
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text[0] == '\1') {
        winsim::SetDbcsLeadBytes(0x81, 0x9f);
        text.erase(0, 1);
    }
    if (!winsim::LoadRegistryText(text)) return 0;
    const std::string saved = winsim::SaveRegistryText();
    const RegistrySnapshot loaded = TakeRegistrySnapshot();
    std::string error;
    if (!winsim::LoadRegistryText(saved, &error)) {
        FuzzFailure(("the saved text does not load: " + error).c_str());
    }
    const RegistrySnapshot reloaded = TakeRegistrySnapshot();
    Require(loaded.keys == reloaded.keys, "the saved text loads other keys");
    Require(loaded.values == reloaded.values, "the saved text loads other values");
    Require(winsim::SaveRegistryText() == saved, "the saved text saves differently");
    return 0;
}
