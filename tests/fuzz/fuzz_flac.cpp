// Arbitrary bytes as a FLAC file: open, read, save a changed tag, read the saved file again.
#include "FlacOggFuzz.h"
#include "media/flac/FlacMediaFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mellodeck::fuzz::OpenAndSave<mellodeck::TFlacMediaFormat>(data, size, ".flac");
}
