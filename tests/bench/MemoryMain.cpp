// mellodeck-bench-memory: one tags-only pass over the benchmark set with one reader, in a process of its
// own, reporting what the pass cost in memory. Started by mellodeck-bench, once per reader, so that no
// reader inherits another's heap or touched pages.
//   mellodeck-bench-memory ours|taglib|plain <set-dir> [KIND]     (KIND: only the files of that folder)
// Prints one line: files=N heap_peak=BYTES rss_growth_kib=KIB hwm_kib=KIB
//   heap_peak       the most bytes live on the heap during the pass, above what was live before it
//   rss_growth_kib  the process's peak resident size after the pass less its resident size before it
//   hwm_kib         the process's peak resident size
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "BenchReaders.h"
#include "HeapCounter.h"

namespace {

long long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::stoll(line.substr(keyLength + 1));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    using namespace mellodeck::bench;
    if (argc != 3 && argc != 4) {
        std::fputs("usage: mellodeck-bench-memory ours|taglib|plain <set-dir> [KIND]\n", stderr);
        return 2;
    }
    const std::string reader = argv[1];
    bool (*read)(const TBenchFile&, TReadSummary*) = nullptr;
    if (reader == "ours")
        read = ReadOursTagsOnly;
    else if (reader == "taglib")
        read = ReadTagLib;
    else if (reader != "plain") {
        std::fprintf(stderr, "mellodeck-bench-memory: unknown reader %s\n", argv[1]);
        return 2;
    }
    try {
        std::vector<TBenchFile> files = LoadFileSet(argv[2]);
        if (argc == 4)
            std::erase_if(files, [&](const TBenchFile& f) { return f.Kind != argv[3]; });
        const long long rssBefore = StatusKiB("VmRSS");
        const size_t heapBefore = HeapLiveBytes();
        ResetHeapPeak();
        // Setting up the reader belongs to the pass: ours starts its library here, TagLib builds its
        // tables on first use.
        if (reader == "ours")
            StartOurLibrary();
        size_t ok = 0;
        for (const TBenchFile& f : files)
            ok += (read ? read(f, nullptr) : ReadPlain(f)) ? 1 : 0;
        const size_t heapPeak = HeapPeakBytes() - heapBefore;
        const long long hwm = StatusKiB("VmHWM");
        std::printf("files=%zu heap_peak=%zu rss_growth_kib=%lld hwm_kib=%lld checksum=%llu\n", ok, heapPeak,
                    hwm - rssBefore, hwm, static_cast<unsigned long long>(gChecksum));
        return ok == files.size() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mellodeck-bench-memory: %s\n", e.what());
        return 1;
    }
}
