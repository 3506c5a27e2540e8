// mellodeck-bench: our tag library against TagLib and against a plain read of the same bytes, over the
// generated set (tests/bench/make-bench-set.sh) and the junk file (tests/bench/make-junk-file.sh).
//   mellodeck-bench [--rounds N] [--junk FILE] <set-dir>
//   mellodeck-bench --pass ours|panel|taglib|plain|walk|junk [--kind KIND] [--rounds N] [--junk FILE] <set-dir>
//       untimed passes of one reader (over the files of one kind; one pass unless --rounds), for profilers
//       such as callgrind or perf
// Measures, each reader side by side in the same run:
//   (1) tags only (pictures ignored), files per second, ours / TagLib
//   (2) the panel's read on a track change, median ms per file
//   (3) the full frame walk of the long MP3 without a header frame, ours / plain read of the file
//   (4) peak memory of (1), ours / TagLib, each in a fresh process (mellodeck-bench-memory)
//   (5) opening the junk file (50 frames, then 300 MiB where the walk scans for headers), ours / plain read
// The machine is shared, so times are the thread's CPU time (what the reads cost, not how long other
// processes held the processor), and each figure is the best of several rounds; the readers take turns
// within every round. Wall-clock figures are printed beside them. The output ends with five lines for
// scripts: tags_only_ratio, panel_read_ms, walk_ratio, memory_ratio, junk_ratio.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchReaders.h"

extern char** environ;

namespace mellodeck::bench {
namespace {

const char* const kKinds[] = {"mp3", "mp3-noheader", "ogg", "flac", "m4a"};
const char* const kWalkFile = "walk/walk-30mb.mp3";

double Now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct TSample {
    double Cpu = 0;  // s of this thread's processor time
    double Wall = 0; // s
};

// Runs fn once and returns what it cost.
template <class F> TSample Measure(F&& fn) {
    const double c0 = Now(CLOCK_THREAD_CPUTIME_ID), w0 = Now(CLOCK_MONOTONIC);
    fn();
    return {Now(CLOCK_THREAD_CPUTIME_ID) - c0, Now(CLOCK_MONOTONIC) - w0};
}

TSample Min(const TSample& a, const TSample& b) {
    return {std::min(a.Cpu, b.Cpu), std::min(a.Wall, b.Wall)};
}
constexpr TSample kNoSample{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};

using TReader = std::function<bool(const TBenchFile&)>;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

// One pass over the files; the time of each kind of file and of the whole pass.
struct TPass {
    std::map<std::string, TSample> ByKind;
    TSample Total;
};

TPass TimePass(const std::vector<TBenchFile>& files, const TReader& read, const char* name) {
    TPass pass;
    for (const char* kind : kKinds)
        pass.ByKind[kind] = TSample{};
    for (const TBenchFile& f : files) {
        bool ok = true;
        const TSample s = Measure([&] { ok = read(f); });
        if (!ok)
            Fail(std::string(name) + " could not read " + f.Path);
        TSample& k = pass.ByKind[f.Kind];
        k.Cpu += s.Cpu;
        k.Wall += s.Wall;
        pass.Total.Cpu += s.Cpu;
        pass.Total.Wall += s.Wall;
    }
    return pass;
}

void KeepBest(TPass& best, const TPass& pass) {
    for (auto& [kind, s] : pass.ByKind)
        best.ByKind[kind] = Min(best.ByKind.count(kind) ? best.ByKind[kind] : kNoSample, s);
    best.Total = Min(best.Total, pass.Total);
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t at = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())) - 1));
    return v[at];
}

size_t CountKind(const std::vector<TBenchFile>& files, const std::string& kind) {
    return static_cast<size_t>(
        std::count_if(files.begin(), files.end(), [&](const TBenchFile& f) { return f.Kind == kind; }));
}

// ---- checks before timing: every file reads, and both tag readers see the same tags ------------------

// Kinds whose cover this library reads: ID3v2 pictures and MPEG-4 "covr" items. Its FLAC format takes
// pictures only from its own application block, and its Ogg Vorbis format none, so the standard FLAC
// picture blocks and Vorbis picture fields of the set are read by TagLib alone.
// Every kind carries its cover the standard way (APIC, PICTURE block, METADATA_BLOCK_PICTURE, covr).
bool CoverExpected(const TBenchFile&) {
    return true;
}

void CheckReaders(const std::vector<TBenchFile>& files) {
    size_t sameTexts = 0, closeDurations = 0, covers = 0, coversExpected = 0;
    int boxWidth, boxHeight;
    FitInBox(600, 600, boxWidth, boxHeight);
    for (const TBenchFile& f : files) {
        TReadSummary ours, theirs, panel;
        if (!ReadOursTagsOnly(f, &ours))
            Fail("our library could not read " + f.Path);
        if (!ReadTagLib(f, &theirs))
            Fail("TagLib could not read " + f.Path);
        if (!ReadOursPanel(f, &panel))
            Fail("the panel read failed on " + f.Path);
        if (ours.Title == theirs.Title && ours.Artist == theirs.Artist && ours.Album == theirs.Album)
            ++sameTexts;
        if (std::fabs(ours.Duration - theirs.Duration) < 0.1)
            ++closeDurations;
        const bool scaled = panel.ArtWidth == boxWidth && panel.ArtHeight == boxHeight;
        if (CoverExpected(f)) {
            ++coversExpected;
            if (!scaled)
                Fail("the cover of " + f.Path + " was not decoded and scaled");
        }
        covers += scaled ? 1 : 0;
    }
    std::printf("checked: every file read by both libraries; title, artist and album equal in %zu of %zu;\n"
                "  durations within 0.1 s in %zu (TagLib estimates MP3s without a header frame from the first\n"
                "  frame); the cover decoded and scaled to %dx%d in %zu (every file)\n",
                sameTexts, files.size(), closeDurations, boxWidth, boxHeight, covers);
    if (sameTexts != files.size())
        Fail("the two libraries read different tags: the comparison would be meaningless");
    if (covers != coversExpected)
        Fail("a cover was decoded where none was expected");
}

// ---- (1) tags only --------------------------------------------------------------------------------------

struct TTagsOnly {
    TPass Ours, TagLib, Plain;
};

TTagsOnly RunTagsOnly(const std::vector<TBenchFile>& files, int rounds) {
    TTagsOnly best;
    best.Ours.Total = best.TagLib.Total = best.Plain.Total = kNoSample;
    const std::array<std::pair<const char*, TReader>, 3> readers = {{
        {"our library", [](const TBenchFile& f) { return ReadOursTagsOnly(f); }},
        {"TagLib", [](const TBenchFile& f) { return ReadTagLib(f); }},
        {"the plain read", [](const TBenchFile& f) { return ReadPlain(f); }},
    }};
    TPass* slots[3] = {&best.Ours, &best.TagLib, &best.Plain};
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 3; ++i) { // each round starts with another reader
            const int which = (r + i) % 3;
            KeepBest(*slots[which], TimePass(files, readers[which].second, readers[which].first));
        }
    }
    return best;
}

void PrintTagsOnly(const std::vector<TBenchFile>& files, const TTagsOnly& t, int rounds) {
    std::printf("\n(1) tags only, pictures ignored: files per second (best of %d rounds, CPU time)\n", rounds);
    std::printf("    %-14s %10s %10s %8s %12s\n", "files", "ours", "TagLib", "ratio", "plain read");
    auto row = [&](const char* label, size_t count, const TSample& o, const TSample& l, const TSample& p) {
        std::printf("    %-14s %10.0f %10.0f %7.2fx %12.0f\n", label, count / o.Cpu, count / l.Cpu, l.Cpu / o.Cpu,
                    count / p.Cpu);
    };
    for (const char* kind : kKinds) {
        const size_t n = CountKind(files, kind);
        row(kind, n, t.Ours.ByKind.at(kind), t.TagLib.ByKind.at(kind), t.Plain.ByKind.at(kind));
    }
    row("all", files.size(), t.Ours.Total, t.TagLib.Total, t.Plain.Total);
    std::printf("    wall clock, all files: ours %.0f/s, TagLib %.0f/s (ratio %.2fx), plain read %.0f/s\n",
                files.size() / t.Ours.Total.Wall, files.size() / t.TagLib.Total.Wall,
                t.TagLib.Total.Wall / t.Ours.Total.Wall, files.size() / t.Plain.Total.Wall);
}

// ---- (2) the panel's read -----------------------------------------------------------------------------------

struct TPanel {
    std::vector<TSample> PerFile; // best of the rounds, per file
};

TPanel RunPanel(const std::vector<TBenchFile>& files, int rounds) {
    TPanel p;
    p.PerFile.assign(files.size(), kNoSample);
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < files.size(); ++i) {
            bool ok = true;
            const TSample s = Measure([&] { ok = ReadOursPanel(files[i]); });
            if (!ok)
                Fail("the panel read failed on " + files[i].Path);
            p.PerFile[i] = Min(p.PerFile[i], s);
        }
    }
    return p;
}

double PrintPanel(const std::vector<TBenchFile>& files, const TPanel& p, int rounds) {
    std::printf("\n(2) panel read: open, tags, decode the cover (600x600 JPEG), box-scale it to fit %dx%d, close:\n"
                "    ms per file (per file the best of %d rounds, CPU time)\n",
                kArtBoxWidth, kArtBoxHeight, rounds);
    std::printf("    %-14s %8s %8s %8s\n", "files", "median", "p90", "max");
    auto row = [](const char* label, const std::vector<double>& v) {
        std::printf("    %-14s %8.2f %8.2f %8.2f\n", label, Median(v), Percentile(v, 0.9),
                    *std::max_element(v.begin(), v.end()));
    };
    for (const char* kind : kKinds) {
        std::vector<double> v;
        for (size_t i = 0; i < files.size(); ++i)
            if (files[i].Kind == kind)
                v.push_back(p.PerFile[i].Cpu * 1000);
        row(kind, v);
    }
    std::vector<double> withCover, withCoverWall, all;
    for (size_t i = 0; i < files.size(); ++i) {
        all.push_back(p.PerFile[i].Cpu * 1000);
        if (CoverExpected(files[i])) {
            withCover.push_back(p.PerFile[i].Cpu * 1000);
            withCoverWall.push_back(p.PerFile[i].Wall * 1000);
        }
    }
    row("with a cover", withCover);
    row("all", all);
    std::printf("    the figure is the median of the files with a cover (wall clock %.2f ms)\n", Median(withCoverWall));
    return Median(withCover);
}

// The cover's part of the panel read, JPEG against PNG: the first covers of the set, each re-encoded in both
// forms, decoded to fit and box-scaled as the panel does. A PNG has no reduced-scale decode, so it is
// decoded in full; its figure is printed beside the JPEG's rather than in the panel figure.
void RunAndPrintCoverForms(const std::vector<TBenchFile>& files, int rounds) {
    constexpr size_t kCovers = 20;
    std::vector<std::vector<uint8_t>> jpegs, pngs;
    for (const TBenchFile& f : files) {
        if (jpegs.size() == kCovers)
            break;
        std::vector<uint8_t> jpeg, png;
        if (f.Kind == "mp3" && CoverInBothForms(f, jpeg, png)) {
            jpegs.push_back(std::move(jpeg));
            pngs.push_back(std::move(png));
        }
    }
    if (jpegs.empty())
        Fail("no cover to re-encode in the set's MP3 files");
    std::vector<double> jpegMs(jpegs.size(), 1e9), pngMs(pngs.size(), 1e9);
    size_t jpegBytes = 0, pngBytes = 0;
    for (size_t i = 0; i < jpegs.size(); ++i) {
        jpegBytes += jpegs[i].size();
        pngBytes += pngs[i].size();
    }
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < jpegs.size(); ++i) {
            bool ok = true;
            jpegMs[i] = std::min(jpegMs[i], Measure([&] { ok = FitCover(jpegs[i]) && ok; }).Cpu * 1000);
            pngMs[i] = std::min(pngMs[i], Measure([&] { ok = FitCover(pngs[i]) && ok; }).Cpu * 1000);
            if (!ok)
                Fail("a re-encoded cover did not decode");
        }
    }
    std::printf("    the cover alone (%zu of the set's covers, 600x600, re-encoded), decoded to fit and box-scaled,\n"
                "    median ms: JPEG %.2f (%zu KB on average, reduced DCT scale), PNG %.2f (%zu KB on average,\n"
                "    decoded in full: PNG has no reduced-scale decode)\n",
                jpegs.size(), Median(jpegMs), jpegBytes / jpegs.size() / 1000, Median(pngMs),
                pngBytes / pngs.size() / 1000);
}

// ---- (3) the frame walk --------------------------------------------------------------------------------------

struct TWalk {
    TSample Ours = kNoSample, Plain = kNoSample, TagLib = kNoSample;
    TReadSummary OursRead, TagLibRead;
};

TWalk RunWalk(const TBenchFile& file, int rounds) {
    TWalk w;
    if (!ReadOursTagsOnly(file, &w.OursRead) || !ReadTagLib(file, &w.TagLibRead) || !ReadPlain(file))
        Fail("could not read " + file.Path);
    for (int r = 0; r < rounds; ++r) {
        auto plain = [&] { w.Plain = Min(w.Plain, Measure([&] { ReadPlain(file); })); };
        auto ours = [&] { w.Ours = Min(w.Ours, Measure([&] { ReadOursTagsOnly(file); })); };
        if (r % 2) {
            plain();
            ours();
        } else {
            ours();
            plain();
        }
        w.TagLib = Min(w.TagLib, Measure([&] { ReadTagLib(file); }));
    }
    return w;
}

double PrintWalk(const TBenchFile& file, const TWalk& w, int rounds) {
    std::printf("\n(3) frame walk of %s (%.1f MiB of VBR MP3 without a header frame), open to close with tags\n"
                "    (best of %d rounds, CPU time)\n",
                kWalkFile, static_cast<double>(file.Size) / 1048576.0, rounds);
    std::printf("    ours        %8.2f ms   duration %.2f s, %d kbit/s (every frame counted)\n", w.Ours.Cpu * 1000,
                w.OursRead.Duration, w.OursRead.Bitrate);
    std::printf("    plain read  %8.2f ms   the whole file in 64 KiB pieces\n", w.Plain.Cpu * 1000);
    std::printf("    TagLib      %8.2f ms   duration %.2f s, %d kbit/s (estimated from the first frames; "
                "no walk, for reference)\n",
                w.TagLib.Cpu * 1000, w.TagLibRead.Duration, w.TagLibRead.Bitrate);
    std::printf("    ratio ours / plain read: %.2fx (wall clock %.2f / %.2f ms)\n", w.Ours.Cpu / w.Plain.Cpu,
                w.Ours.Wall * 1000, w.Plain.Wall * 1000);
    return w.Ours.Cpu / w.Plain.Cpu;
}

// ---- (5) junk after the frames ------------------------------------------------------------------------

double RunAndPrintJunk(const std::string& path, int rounds) {
    const TBenchFile file = MakeBenchFile(path, "junk");
    TReadSummary read;
    if (!ReadOursTagsOnly(file, &read) || !ReadPlain(file))
        Fail("could not read " + path);
    TSample ours = kNoSample, plain = kNoSample;
    for (int r = 0; r < rounds; ++r) {
        auto readPlain = [&] { plain = Min(plain, Measure([&] { ReadPlain(file); })); };
        auto readOurs = [&] { ours = Min(ours, Measure([&] { ReadOursTagsOnly(file); })); };
        if (r % 2) {
            readPlain();
            readOurs();
        } else {
            readOurs();
            readPlain();
        }
    }
    std::printf("\n(5) junk: %s (%.1f MiB: 50 frames, then zero and random bytes), open to close with tags\n"
                "    (best of %d rounds, CPU time)\n",
                path.c_str(), static_cast<double>(file.Size) / 1048576.0, rounds);
    std::printf("    ours        %8.2f ms   duration %.6f s, %d kbit/s (the walk scans the junk for headers)\n",
                ours.Cpu * 1000, read.Duration, read.Bitrate);
    std::printf("    plain read  %8.2f ms   the whole file in 64 KiB pieces\n", plain.Cpu * 1000);
    std::printf("    ratio ours / plain read: %.2fx (wall clock %.2f / %.2f ms)\n", ours.Cpu / plain.Cpu,
                ours.Wall * 1000, plain.Wall * 1000);
    return ours.Cpu / plain.Cpu;
}

// ---- (4) memory --------------------------------------------------------------------------------------------

struct TMemory {
    size_t Files = 0;
    double HeapPeakKiB = 0;
    double RssGrowthKiB = 0;
    double HwmKiB = 0;
    double MaxRssKiB = 0; // from the parent's view of the finished child
};

std::string SelfFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        Fail("cannot find the benchmark's own folder");
    path[n] = 0;
    std::string s(path);
    return s.substr(0, s.find_last_of('/'));
}

TMemory MeasureMemory(const std::string& probe, const std::string& reader, const std::string& setDir) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        Fail("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args = {probe, reader, setDir};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        Fail("cannot start " + probe);
    }
    std::string out;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail("the memory probe failed for " + reader + ": " + out);
    TMemory m;
    unsigned long long heap = 0;
    long long growth = 0, hwm = 0;
    if (std::sscanf(out.c_str(), "files=%zu heap_peak=%llu rss_growth_kib=%lld hwm_kib=%lld", &m.Files, &heap, &growth,
                    &hwm) != 4)
        Fail("unexpected output of the memory probe: " + out);
    m.HeapPeakKiB = static_cast<double>(heap) / 1024.0;
    m.RssGrowthKiB = static_cast<double>(growth);
    m.HwmKiB = static_cast<double>(hwm);
    m.MaxRssKiB = static_cast<double>(usage.ru_maxrss);
    return m;
}

double RunAndPrintMemory(const std::string& setDir) {
    const std::string probe = SelfFolder() + "/mellodeck-bench-memory";
    const TMemory ours = MeasureMemory(probe, "ours", setDir);
    const TMemory theirs = MeasureMemory(probe, "taglib", setDir);
    const TMemory plain = MeasureMemory(probe, "plain", setDir);
    std::printf("\n(4) peak memory of (1), one fresh process per reader, KiB\n");
    std::printf("    %-12s %12s %14s %14s\n", "reader", "heap peak", "resident peak", "process peak");
    std::printf("    %-12s %12s %14s %14s\n", "", "(the pass)", "(the pass)", "(all of it)");
    auto row = [](const char* name, const TMemory& m) {
        std::printf("    %-12s %12.1f %14.0f %14.0f\n", name, m.HeapPeakKiB, m.RssGrowthKiB, m.MaxRssKiB);
    };
    row("ours", ours);
    row("TagLib", theirs);
    row("plain read", plain);
    std::printf("    heap peak: the most bytes the pass held on the heap at once (the figure below); resident\n"
                "    peak: how far the pass raised the process's peak resident size (heap, stack and the code pages\n"
                "    it ran). Ratio of the heap peaks %.2fx, of the resident peaks %.2fx, of the process peaks %.2fx\n",
                ours.HeapPeakKiB / theirs.HeapPeakKiB, ours.RssGrowthKiB / std::max(1.0, theirs.RssGrowthKiB),
                ours.MaxRssKiB / theirs.MaxRssKiB);
    return ours.HeapPeakKiB / theirs.HeapPeakKiB;
}

int Usage() {
    std::fputs("usage: mellodeck-bench [--rounds N] [--junk FILE] <set-dir>\n"
               "       mellodeck-bench --pass ours|panel|taglib|plain|walk|junk [--kind KIND] [--rounds N]\n"
               "                       [--junk FILE] <set-dir>\n",
               stderr);
    return 2;
}

// Passes without timing, for a profiler.
int RunPass(const std::string& reader, const std::string& kind, int rounds, const std::vector<TBenchFile>& files,
            const TBenchFile& walk, const std::string& junk) {
    StartOurLibrary();
    bool (*read)(const TBenchFile&, TReadSummary*) = nullptr;
    if (reader == "ours" || reader == "walk" || reader == "junk")
        read = ReadOursTagsOnly;
    else if (reader == "panel")
        read = ReadOursPanel;
    else if (reader == "taglib")
        read = ReadTagLib;
    else if (reader != "plain")
        return Usage();
    size_t count = 0;
    for (int round = 0; round < rounds; ++round) {
        if (reader == "walk") {
            count = read(walk, nullptr) ? 1 : 0;
        } else if (reader == "junk") {
            if (junk.empty())
                return Usage();
            count = read(MakeBenchFile(junk, "junk"), nullptr) ? 1 : 0;
        } else {
            for (const TBenchFile& f : files) {
                if (!kind.empty() && f.Kind != kind)
                    continue;
                if (!(read ? read(f, nullptr) : ReadPlain(f)))
                    Fail(reader + " could not read " + f.Path);
                ++count;
            }
        }
    }
    std::printf("%zu files read (checksum %llu)\n", count, static_cast<unsigned long long>(gChecksum));
    return 0;
}

int Run(int argc, char** argv) {
    int rounds = 0; // 0: the default, 7 timed rounds or one untimed pass
    std::string setDir, pass, kind, junk;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--pass" && i + 1 < argc)
            pass = argv[++i];
        else if (a == "--kind" && i + 1 < argc)
            kind = argv[++i];
        else if (a == "--junk" && i + 1 < argc)
            junk = argv[++i];
        else if (!a.empty() && a[0] == '-')
            return Usage();
        else
            setDir = a;
    }
    if (setDir.empty())
        return Usage();
    const std::vector<TBenchFile> files = LoadFileSet(setDir);
    const TBenchFile walk = MakeBenchFile(setDir + "/" + kWalkFile, "walk");
    if (!pass.empty())
        return RunPass(pass, kind, std::max(1, rounds), files, walk, junk);
    if (rounds == 0)
        rounds = 7;
    int64_t bytes = 0;
    for (const TBenchFile& f : files)
        bytes += f.Size;
    std::printf("Mellodeck reading benchmark: %zu files (%.1f MiB) in %s\n", files.size(),
                static_cast<double>(bytes) / 1048576.0, setDir.c_str());
    StartOurLibrary();
    CheckReaders(files); // also brings every file into the page cache

    const TTagsOnly tagsOnly = RunTagsOnly(files, rounds);
    PrintTagsOnly(files, tagsOnly, rounds);
    const double tagsOnlyRatio = tagsOnly.TagLib.Total.Cpu / tagsOnly.Ours.Total.Cpu;

    const int panelRounds = rounds;
    const double panelMs = PrintPanel(files, RunPanel(files, panelRounds), panelRounds);
    RunAndPrintCoverForms(files, panelRounds);

    const int walkRounds = 2 * rounds + 1;
    const double walkRatio = PrintWalk(walk, RunWalk(walk, walkRounds), walkRounds);

    const double memoryRatio = RunAndPrintMemory(setDir);

    if (junk.empty())
        Fail("no junk file given (--junk, made by tests/bench/make-junk-file.sh)");
    const double junkRatio = RunAndPrintJunk(junk, 3);

    std::printf("\n(checksum %llu)\n", static_cast<unsigned long long>(gChecksum));
    std::printf("tags_only_ratio: %.2f\n", tagsOnlyRatio);
    std::printf("panel_read_ms: %.2f\n", panelMs);
    std::printf("walk_ratio: %.2f\n", walkRatio);
    std::printf("memory_ratio: %.2f\n", memoryRatio);
    std::printf("junk_ratio: %.2f\n", junkRatio);
    return 0;
}

} // namespace
} // namespace mellodeck::bench

int main(int argc, char** argv) {
    try {
        return mellodeck::bench::Run(argc, argv);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "mellodeck-bench: %s\n", e.what());
        return 1;
    }
}
