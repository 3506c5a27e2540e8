// Arbitrary bytes as the start of an ASF file (WMA, WMV): the header reader must accept or refuse them
// without reading outside its buffers; what it accepts must rebuild into a header it reads back with the
// same attributes, and a save through a file must leave a file that reads back with the new title.
// Picture values (stored form and the runtime's record) are parsed on the way.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzScratch.h"
#include "media/asf/ASFHeader.h"
#include "media/asf/ASFPicture.h"

using namespace mellodeck;

namespace {

const std::filesystem::path& Scratch() { return fuzz::ScratchPath("wma", "input.wma"); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Scratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The record reader never follows a pointer outside the buffer it is given.
    asf::TASFPicture picture;
    asf::ReadPictureValue(data, size, picture);

    asf::TASFFile file;
    if (!file.Parse(data, size, size))
        return 0;
    for (const auto& a : file.Attributes)
        if (a.Name == u"WM/Picture")
            asf::ParseStoredPicture(a.Value.data(), a.Value.size(), picture);
    std::vector<uint8_t> rebuilt;
    if (file.BuildHeader(rebuilt)) {
        asf::TASFFile again;
        if (!again.Parse(rebuilt.data(), rebuilt.size(), rebuilt.size()) ||
            again.Attributes.size() != file.Attributes.size())
            __builtin_trap(); // the writer made a header its own reader refuses or reads differently
    }

    if (!fuzz::WriteScratch(Scratch(), data, size))
        return 0;
    asf::TASFFile onDisk;
    if (!onDisk.Load(Scratch().wstring()))
        __builtin_trap(); // the same bytes parsed in memory
    const int title = onDisk.Find(u"Title", 0);
    asf::TASFAttribute value;
    value.Name = u"Title";
    value.Value = asf::StringValue(u"fuzzed title");
    if (title >= 0)
        onDisk.Attributes[static_cast<size_t>(title)] = value;
    else
        onDisk.Attributes.push_back(value);
    if (!onDisk.Save(Scratch().wstring()))
        return 0;
    asf::TASFFile saved;
    if (!saved.Load(Scratch().wstring()) || saved.Find(u"Title", 0) < 0 ||
        asf::StringOf(saved.Attributes[static_cast<size_t>(saved.Find(u"Title", 0))].Value) != u"fuzzed title")
        __builtin_trap(); // a save that succeeded left a file we cannot read back
    return 0;
}
