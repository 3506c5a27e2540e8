// Arbitrary bytes as an Ogg Vorbis file: open, read, save a changed tag, read the saved file again.
#include "FlacOggFuzz.h"
#include "media/ogg/OggMediaFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mellodeck::fuzz::OpenAndSave<mellodeck::TOggMediaFormat>(data, size, ".ogg");
}
