#pragma once
// What the report templates say about the machine, behind one small interface: a Win32 implementation in
// win/, a POSIX one in posix/. Facts a platform cannot tell come back empty (std::nullopt, zeros or an
// empty list) and the template vocabulary turns them into its fallback texts. All text is 8-bit: the
// system's ANSI code page on Windows, UTF-8 elsewhere.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/AxVersionInfo.h"

namespace mellodeck {

// A file version: major.minor.release.build; all zeros when the file has none.
using TReportVersion = FileVersion;

// Bytes; 64-bit so machines with more than 4 GB report their real sizes.
struct TReportMemory {
    uint64_t TotalPhysical = 0;
    uint64_t FreePhysical = 0;
    uint64_t TotalPageFile = 0;
    uint64_t FreePageFile = 0;
    uint64_t TotalVirtual = 0;
    uint64_t FreeVirtual = 0;
    uint32_t LoadPercent = 0; // share of physical memory in use, 0 to 100
};

struct TReportCpu {
    std::string VendorId;     // the 12-character CPUID vendor text, empty when unknown
    std::string Name;         // the processor's brand text, at most 48 characters
    uint32_t Mhz = 0;         // clock in MHz, 0 when unknown
};

struct TReportProcess {
    std::string Path;
    TReportVersion Version;
};

struct TReportDisplay {
    int Width = 0;
    int Height = 0;
    bool Primary = false;
};

class ISystemFacts {
public:
    virtual ~ISystemFacts() = default;
    virtual std::string HostFileName() = 0;      // file name of the hosting executable
    virtual TReportVersion HostVersion() = 0;    // its file version
    virtual std::optional<std::string> WindowsName() = 0;   // e.g. "Windows XP"
    virtual std::optional<std::string> NtProductType() = 0; // e.g. "Professional", NT line only
    virtual std::optional<unsigned> ServicePack() = 0;      // major service pack number, when one is installed
    virtual TReportCpu Cpu() = 0;
    virtual TReportMemory Memory() = 0;
    virtual std::string LongTimeText() = 0;      // now, in the system's long time format
    virtual std::string ShortDateText() = 0;     // today, in the system's short date format
    virtual std::optional<std::vector<TReportProcess>> Processes() = 0; // nullopt when the list is unavailable
    virtual std::vector<TReportDisplay> Displays() = 0;
};

// The implementation for the platform this was built for.
std::shared_ptr<ISystemFacts> CreateSystemFacts();

// Vendor and brand text straight from the processor (x86 CPUID); empty texts elsewhere.
TReportCpu ReadCpuIdentity();

} // namespace mellodeck
