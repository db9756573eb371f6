// Reads arbitrary text as a mail store file; what loads must write back to text that loads to
// the same text again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "qorvad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    qorvad::Mailstore store;
    if (!store.loadText(text))
        return 0;
    std::string once = store.saveText();
    qorvad::Mailstore again;
    if (!again.loadText(once) || again.saveText() != once)
        __builtin_trap();
    return 0;
}
