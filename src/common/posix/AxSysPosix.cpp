// Native face of the module and platform helpers.
#include <climits>
#include <cstdint>
#include <link.h>
#include <unistd.h>
#include <vector>

#include "common/AxSys.h"
#include "common/TextConvert.h"

namespace mellodeck {
namespace {

std::string ProcessExecutable() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

struct ObjectSearch {
    uintptr_t Address = 0;
    bool Found = false;
    std::string Name;
};

// Finds the loaded object whose segments hold the searched address.
int VisitObject(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ObjectSearch*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (search->Address >= start && search->Address < start + segment.p_memsz) {
            search->Found = true;
            search->Name = info->dlpi_name ? info->dlpi_name : "";
            return 1;
        }
    }
    return 0;
}

} // namespace

std::wstring ModuleFileName(bool ofProcess) {
    if (!ofProcess) {
        ObjectSearch search;
        search.Address = reinterpret_cast<uintptr_t>(&ModuleFileName);
        dl_iterate_phdr(&VisitObject, &search);
        // The main program has no name in the loader's list; a shared object has its load path.
        if (search.Found && !search.Name.empty())
            return Utf8ToWide(search.Name);
    }
    return Utf8ToWide(ProcessExecutable());
}

OsVersionFacts QueryOsVersionFacts() {
    return OsVersionFacts{};
}

} // namespace mellodeck
