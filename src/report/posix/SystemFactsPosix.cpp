// System facts on POSIX systems, read from /proc where Linux offers them. Windows-only facts (the Windows
// name, NT product type, service pack, version resources, monitors) are reported as unknown.
#include "report/SystemFacts.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

#include "report/ReportPlatform.h"

namespace mellodeck {
namespace {

std::string ReadLink(const std::string& path) {
    std::string buffer(4096, '\0');
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        return std::string();
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

// Value in bytes of a "Name:   1234 kB" line of /proc/meminfo; nullopt when absent.
std::optional<uint64_t> MemInfoBytes(const std::string& meminfo, const std::string& name) {
    std::istringstream in(meminfo);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size() + 1, name + ":") != 0)
            continue;
        std::istringstream fields(line.substr(name.size() + 1));
        uint64_t value = 0;
        std::string unit;
        if (!(fields >> value))
            return std::nullopt;
        fields >> unit;
        return unit == "kB" ? value * 1024 : value;
    }
    return std::nullopt;
}

std::string TimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        return std::string();
    char text[128];
    const size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

class TPosixSystemFacts final : public ISystemFacts {
public:
    std::string HostFileName() override {
        const std::string path = ReadLink("/proc/self/exe");
        const size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    // Executables carry no version resource here.
    TReportVersion HostVersion() override { return {}; }
    std::optional<std::string> WindowsName() override { return std::nullopt; }
    std::optional<std::string> NtProductType() override { return std::nullopt; }
    std::optional<unsigned> ServicePack() override { return std::nullopt; }

    TReportCpu Cpu() override {
        TReportCpu cpu = ReadCpuIdentity();
        std::ifstream in("/proc/cpuinfo");
        std::string line;
        while (std::getline(in, line)) {
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            const std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
            const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
            if (key == "cpu MHz" && cpu.Mhz == 0) {
                cpu.Mhz = static_cast<uint32_t>(std::lround(std::strtod(value.c_str(), nullptr)));
            } else if (key == "model name" && cpu.Name.empty()) {
                cpu.Name = value.substr(0, 48);
            }
        }
        return cpu;
    }

    TReportMemory Memory() override {
        TReportMemory m;
        std::ifstream in("/proc/meminfo");
        std::stringstream all;
        all << in.rdbuf();
        const std::string meminfo = all.str();
        m.TotalPhysical = MemInfoBytes(meminfo, "MemTotal").value_or(0);
        m.FreePhysical = MemInfoBytes(meminfo, "MemAvailable").value_or(MemInfoBytes(meminfo, "MemFree").value_or(0));
        if (m.FreePhysical > m.TotalPhysical)
            m.FreePhysical = m.TotalPhysical;
        if (m.TotalPhysical > 0)
            m.LoadPercent = static_cast<uint32_t>((m.TotalPhysical - m.FreePhysical) * 100 / m.TotalPhysical);
        // The page-file figures follow Windows' meaning: the commit limit and what is left of it.
        m.TotalPageFile = MemInfoBytes(meminfo, "CommitLimit").value_or(0);
        const uint64_t committed = MemInfoBytes(meminfo, "Committed_AS").value_or(0);
        m.FreePageFile = committed < m.TotalPageFile ? m.TotalPageFile - committed : 0;
        // Virtual: the process's address-space limit (when none is set, the usual user address space
        // of this architecture) less what the process has mapped.
        rlimit limit{};
        if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            m.TotalVirtual = limit.rlim_cur;
        else
            m.TotalVirtual = sizeof(void*) == 8 ? (uint64_t{1} << 47) : (uint64_t{3} << 30);
        std::ifstream status("/proc/self/status");
        std::stringstream statusText;
        statusText << status.rdbuf();
        const uint64_t mapped = MemInfoBytes(statusText.str(), "VmSize").value_or(0);
        m.FreeVirtual = mapped < m.TotalVirtual ? m.TotalVirtual - mapped : 0;
        return m;
    }

    std::string LongTimeText() override { return TimeText("%X"); }
    std::string ShortDateText() override { return TimeText("%x"); }

    std::optional<std::vector<TReportProcess>> Processes() override {
        DIR* dir = opendir("/proc");
        if (!dir)
            return std::nullopt;
        std::vector<TReportProcess> list;
        while (const dirent* entry = readdir(dir)) {
            const std::string pid = entry->d_name;
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            // Processes of other users, and kernel threads, have no readable executable: skip them.
            std::string path = ReadLink("/proc/" + pid + "/exe");
            if (!path.empty())
                list.push_back({std::move(path), {}});
        }
        closedir(dir);
        return list;
    }

    // Monitor geometry needs a display server connection, which the log does not make here.
    std::vector<TReportDisplay> Displays() override { return {}; }
};

} // namespace

std::shared_ptr<ISystemFacts> CreateSystemFacts() { return std::make_shared<TPosixSystemFacts>(); }

} // namespace mellodeck
