#pragma once
// Fixed system facts, so formatted log text can be compared exactly.
#include "report/SystemFacts.h"

namespace mellodeck::test {

class TFakeSystemFacts : public ISystemFacts {
public:
    std::string FileName = "host.exe";
    TReportVersion Version{1, 2, 3, 4};
    std::optional<std::string> Windows = std::string("Windows XP");
    std::optional<std::string> ProductType = std::string("Professional");
    std::optional<unsigned> Sp = 2u;
    TReportCpu CpuFacts{"GenuineIntel", "Intel(R) Pentium(R) 4 CPU 2.80GHz", 2800};
    TReportMemory MemoryFacts{uint64_t{512} << 20, uint64_t{200} << 20, uint64_t{1} << 30, 3000,
                              uint64_t{2} << 30, 1023, 7};
    std::string Time = "12:34:56";
    std::string Date = "31.12.2024";
    std::optional<std::vector<TReportProcess>> ProcessList =
        std::vector<TReportProcess>{{"C:\\WINDOWS\\explorer.exe", {6, 0, 2900, 5512}}, {"C:\\x\\host.exe", {}}};
    std::vector<TReportDisplay> DisplayList{{1024, 768, true}, {1280, 1024, false}};

    std::string HostFileName() override { return FileName; }
    TReportVersion HostVersion() override { return Version; }
    std::optional<std::string> WindowsName() override { return Windows; }
    std::optional<std::string> NtProductType() override { return ProductType; }
    std::optional<unsigned> ServicePack() override { return Sp; }
    TReportCpu Cpu() override { return CpuFacts; }
    TReportMemory Memory() override { return MemoryFacts; }
    std::string LongTimeText() override { return Time; }
    std::string ShortDateText() override { return Date; }
    std::optional<std::vector<TReportProcess>> Processes() override { return ProcessList; }
    std::vector<TReportDisplay> Displays() override { return DisplayList; }
};

} // namespace mellodeck::test
