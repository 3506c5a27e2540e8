#include "report/ExceptionTemplateParser.h"

#include <cctype>
#include <cstdio>

namespace mellodeck {
namespace {

enum class TVar {
    NoRule, // in the table, but printed as "[name]"
    FileName,
    VersionHigh,
    VersionLow,
    Build,
    OS,
    NTType,
    ServicePack,
    CPUShort,
    PhysicalMemory,
    FreePhysicalMemory,
    PageFileMemory,
    FreePageFileMemory,
    VirtualMemory,
    FreeVirtualMemory,
    MemoryLoad,
    Date,
    Time,
    Type,
    Message,
    CallStackList,
    Processes,
    Displays,
};

struct TVocabularyEntry {
    const char* Name;
    TVar Var;
};

// In table order; the later duplicates can never be reached, since the first match wins.
constexpr TVocabularyEntry kVocabulary[TExceptionTemplateParser::kVocabularySize] = {
    {"AppName", TVar::NoRule},
    {"FileName", TVar::FileName},
    {"VersionHigh", TVar::VersionHigh},
    {"VersionLow", TVar::VersionLow},
    {"Build", TVar::Build},
    {"OS", TVar::OS},
    {"NTType", TVar::NTType},
    {"ServicePack", TVar::ServicePack},
    {"CPUShort", TVar::CPUShort},
    {"PhysicalMemory", TVar::PhysicalMemory},
    {"FreePhysicalMemory", TVar::FreePhysicalMemory},
    {"PageFileMemory", TVar::PageFileMemory},
    {"FreePageFileMemory", TVar::FreePageFileMemory},
    {"VirtualMemory", TVar::VirtualMemory},
    {"FreeVirtualMemory", TVar::FreeVirtualMemory},
    {"MemoryLoad", TVar::MemoryLoad},
    {"Date", TVar::Date},
    {"Time", TVar::Time},
    {"MAC", TVar::NoRule},
    {"MaxAppAddress", TVar::NoRule},
    {"MinAppAddress", TVar::NoRule},
    {"MemLoad", TVar::NoRule},
    {"SwapSize", TVar::NoRule},
    {"SwapUsage", TVar::NoRule},
    {"TotalPhysicalMemory", TVar::NoRule},
    {"FreePhysicalMemory", TVar::NoRule},
    {"TotalPageFileMemory", TVar::NoRule},
    {"FreePageFileMemory", TVar::NoRule},
    {"TotalVirtualMemory", TVar::NoRule},
    {"FreeVirtualMemory", TVar::NoRule},
    {"Type", TVar::Type},
    {"Message", TVar::Message},
    {"CallStackLine", TVar::NoRule},
    {"CallStackList", TVar::CallStackList},
    {"Processes", TVar::Processes},
    {"Displays", TVar::Displays},
};

bool SameTextIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

const TVocabularyEntry* FindVariable(const std::string& name) {
    for (const TVocabularyEntry& entry : kVocabulary)
        if (SameTextIgnoringCase(name, entry.Name))
            return &entry;
    return nullptr;
}

std::string VersionText(const TReportVersion& v) {
    return std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Release) + "." +
           std::to_string(v.Build);
}

std::string ProcessesText(const std::optional<std::vector<TReportProcess>>& processes) {
    if (!processes)
        return "[Could not get the running processes list]";
    std::string text;
    for (const TReportProcess& p : *processes) {
        if (!text.empty())
            text += "\r\n";
        text += p.Path + " [" + VersionText(p.Version) + "]";
    }
    return text;
}

std::string DisplaysText(const std::vector<TReportDisplay>& displays) {
    std::string text;
    for (size_t i = 0; i < displays.size(); ++i) {
        std::string line = "  Monitor[" + std::to_string(i + 1) + "]: " + std::to_string(displays[i].Width) +
                           "x" + std::to_string(displays[i].Height);
        if (line.size() < 32)
            line.append(32 - line.size(), ' ');
        line += displays[i].Primary ? "Primary: Yes" : "Primary: No";
        if (i > 0)
            text += "\r\n";
        text += line;
    }
    return text;
}

std::string CpuShortText(const TReportCpu& cpu) {
    return CpuVendorText(cpu.VendorId) + " " + cpu.Name.substr(0, 48) + " " + std::to_string(cpu.Mhz);
}

} // namespace

std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kKb = 1024;
    constexpr uint64_t kMb = kKb * 1024;
    constexpr uint64_t kGb = kMb * 1024;
    if (bytes == 0)
        return "0 Kb";
    if (bytes < kKb)
        return std::to_string(bytes) + " Byte";
    if (bytes < kMb)
        return std::to_string(bytes / kKb) + " KB";
    if (bytes < kGb)
        return std::to_string(bytes / kMb) + " MB";
    return std::to_string(bytes / kGb) + " GB";
}

std::string CpuVendorText(const std::string& vendorId) {
    if (vendorId == "GenuineIntel")
        return "Intel";
    if (vendorId == "CyrixInstead")
        return "Cyrix";
    if (vendorId == "AuthenticAMD" || vendorId == "AMDisbetter!")
        return "AMD";
    if (vendorId == "GenuineTMx86" || vendorId == "TransmetaCPU")
        return "Transmeta";
    if (vendorId == "CentaurHauls" || vendorId == "VIA VIA VIA ")
        return "VIA";
    return "[Unknown CPU]";
}

TExceptionTemplateParser::TExceptionTemplateParser() : TExceptionTemplateParser(CreateSystemFacts()) {}

TExceptionTemplateParser::TExceptionTemplateParser(std::shared_ptr<ISystemFacts> facts)
    : FSystemFacts(facts ? std::move(facts) : CreateSystemFacts()) {}

void TExceptionTemplateParser::SetMessage(std::string text) {
    FMessage = std::move(text);
    FMessageColumn.reset();
}

void TExceptionTemplateParser::SetSystemFacts(std::shared_ptr<ISystemFacts> facts) {
    FSystemFacts = facts ? std::move(facts) : CreateSystemFacts();
}

std::string TExceptionTemplateParser::ResolveValue(const std::string& name) {
    std::string value = TStringParser::ResolveValue(name);
    const TVocabularyEntry* entry = FindVariable(name);
    if (!entry)
        return value.empty() ? "[Unknown - " + name + "]" : value;

    ISystemFacts& facts = *FSystemFacts;
    switch (entry->Var) {
    case TVar::NoRule:
        return "[" + name + "]";
    case TVar::FileName:
        return facts.HostFileName();
    case TVar::VersionHigh:
        return std::to_string(facts.HostVersion().Major);
    case TVar::VersionLow:
        return std::to_string(facts.HostVersion().Minor);
    case TVar::Build:
        return VersionText(facts.HostVersion());
    case TVar::OS:
        return facts.WindowsName().value_or("[Unknown System]");
    case TVar::NTType:
        return facts.NtProductType().value_or("[Unknown NT Type]");
    case TVar::ServicePack: {
        const std::optional<unsigned> sp = facts.ServicePack();
        return sp ? "SP" + std::to_string(*sp) : "[ServicePack is absent]";
    }
    case TVar::CPUShort:
        return CpuShortText(facts.Cpu());
    case TVar::PhysicalMemory:
        return SizeText(facts.Memory().TotalPhysical);
    case TVar::FreePhysicalMemory:
        return SizeText(facts.Memory().FreePhysical);
    case TVar::PageFileMemory:
        return SizeText(facts.Memory().TotalPageFile);
    case TVar::FreePageFileMemory:
        return SizeText(facts.Memory().FreePageFile);
    case TVar::VirtualMemory:
        return SizeText(facts.Memory().TotalVirtual);
    case TVar::FreeVirtualMemory:
        return SizeText(facts.Memory().FreeVirtual);
    case TVar::MemoryLoad: {
        char text[32];
        std::snprintf(text, sizeof text, "%.2d %%", static_cast<int>(facts.Memory().LoadPercent));
        return text;
    }
    case TVar::Date:
        return facts.ShortDateText();
    case TVar::Time:
        return facts.LongTimeText();
    case TVar::Type:
        return FMessageType;
    case TVar::Message:
        FMessageColumn = Output().size();
        return FMessage;
    case TVar::CallStackList:
        try {
            // Each call-stack line goes ahead of this line, indented to where the reference stands.
            const std::string indent(Output().size(), ' ');
            for (const std::string& line : FCallStack)
                AddResultLine(indent + line);
            return std::string();
        } catch (...) {
            return "[Can`t retrive " + name + "CallStackList]";
        }
    case TVar::Processes:
        return ProcessesText(facts.Processes());
    case TVar::Displays:
        return DisplaysText(facts.Displays());
    }
    return value;
}

} // namespace mellodeck
