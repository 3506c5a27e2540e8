// System facts on Windows: the version from the kernel (not the compatibility-shimmed GetVersionEx), the
// host's and processes' version resources (common's GetFileVersion), memory status, the tool-help process
// list and the monitors.
#include "report/SystemFacts.h"

#include <windows.h>
#include <tlhelp32.h>

#include "common/AxSys.h"
#include "common/AxVersionInfo.h"
#include "common/win/Handles.h"
#include "report/ReportPlatform.h"

namespace mellodeck {
namespace {

// The real version: GetVersionEx reports 6.2 to programs without a compatibility manifest.
std::optional<RTL_OSVERSIONINFOEXW> KernelVersion() {
    using TRtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return std::nullopt;
    auto rtlGetVersion = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (!rtlGetVersion)
        return std::nullopt;
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion(&info) != 0)
        return std::nullopt;
    return info;
}

std::optional<DWORD> RegistryDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::wstring RegistryText(const wchar_t* key, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return std::wstring();
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::string LocaleText(bool date) {
    wchar_t text[128];
    const int n = date ? GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128)
                       : GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 128);
    return n > 1 ? ReportNarrowText(std::wstring(text, static_cast<size_t>(n - 1))) : std::string();
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* list = reinterpret_cast<std::vector<TReportDisplay>*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info))
        list->push_back({info.rcMonitor.right - info.rcMonitor.left, info.rcMonitor.bottom - info.rcMonitor.top,
                         (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    return TRUE;
}

constexpr const wchar_t* kProcessorKey = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

class TWin32SystemFacts final : public ISystemFacts {
public:
    std::string HostFileName() override {
        const std::wstring path = ModuleFileName(true);
        const size_t slash = path.find_last_of(L"\\/");
        return ReportNarrowText(slash == std::wstring::npos ? path : path.substr(slash + 1));
    }

    TReportVersion HostVersion() override { return GetFileVersion(ModuleFileName(true)); }

    std::optional<std::string> WindowsName() override {
        const auto v = KernelVersion();
        if (!v || v->dwPlatformId != VER_PLATFORM_WIN32_NT)
            return std::nullopt;
        const DWORD major = v->dwMajorVersion;
        const DWORD minor = v->dwMinorVersion;
        if (major == 3 && minor == 10)
            return "Windows NT 3.1";
        if (major == 3 && minor == 50)
            return "Windows NT 3.5";
        if (major == 3 && minor == 51)
            return "Windows NT 3.51";
        if (major == 4)
            return "Windows NT 4.0";
        if (major == 5 && minor == 0)
            return "Windows 2000";
        if (major == 5 && minor == 1)
            return "Windows XP";
        if (major == 5 && minor == 2)
            return "Windows Server 2003";
        if (major == 6 && minor == 0)
            return "Windows Vista";
        if (major == 6 && minor == 1)
            return "Windows 7";
        if (major == 6 && minor == 2)
            return "Windows 8";
        if (major == 6 && minor == 3)
            return "Windows 8.1";
        if (major == 10 && minor == 0)
            return v->dwBuildNumber >= 22000 ? "Windows 11" : "Windows 10";
        return std::nullopt;
    }

    std::optional<std::string> NtProductType() override {
        const auto v = KernelVersion();
        if (!v || v->dwPlatformId != VER_PLATFORM_WIN32_NT)
            return std::nullopt;
        switch (v->wProductType) {
        case VER_NT_WORKSTATION:
            if (v->dwMajorVersion <= 4)
                return "Workstation";
            return (v->wSuiteMask & VER_SUITE_PERSONAL) ? "Home Edition" : "Professional";
        case VER_NT_SERVER:
        case VER_NT_DOMAIN_CONTROLLER:
            return "Server";
        default:
            return std::nullopt;
        }
    }

    std::optional<unsigned> ServicePack() override {
        const auto v = KernelVersion();
        if (!v || v->dwPlatformId != VER_PLATFORM_WIN32_NT || v->wServicePackMajor == 0)
            return std::nullopt;
        return v->wServicePackMajor;
    }

    TReportCpu Cpu() override {
        TReportCpu cpu = ReadCpuIdentity();
        if (cpu.Name.empty())
            cpu.Name = ReportNarrowText(RegistryText(kProcessorKey, L"ProcessorNameString")).substr(0, 48);
        cpu.Mhz = RegistryDword(kProcessorKey, L"~MHz").value_or(0);
        return cpu;
    }

    TReportMemory Memory() override {
        TReportMemory m;
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (!GlobalMemoryStatusEx(&status))
            return m;
        m.TotalPhysical = status.ullTotalPhys;
        m.FreePhysical = status.ullAvailPhys;
        m.TotalPageFile = status.ullTotalPageFile;
        m.FreePageFile = status.ullAvailPageFile;
        m.TotalVirtual = status.ullTotalVirtual;
        m.FreeVirtual = status.ullAvailVirtual;
        m.LoadPercent = status.dwMemoryLoad;
        return m;
    }

    std::string LongTimeText() override { return LocaleText(false); }
    std::string ShortDateText() override { return LocaleText(true); }

    std::optional<std::vector<TReportProcess>> Processes() override {
        win::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot)
            return std::nullopt;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (!Process32FirstW(snapshot.Get(), &entry))
            return std::nullopt;
        std::vector<TReportProcess> list;
        do {
            // The full image path where the process lets us ask; its bare file name otherwise.
            std::wstring path = entry.szExeFile;
            win::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
            if (process) {
                std::wstring full(32768, L'\0');
                DWORD size = static_cast<DWORD>(full.size());
                if (QueryFullProcessImageNameW(process.Get(), 0, full.data(), &size)) {
                    full.resize(size);
                    path = std::move(full);
                }
            }
            // A process that ended between the snapshot and this question has no name left to show.
            if (!path.empty())
                list.push_back({ReportNarrowText(path), GetFileVersion(path)});
        } while (Process32NextW(snapshot.Get(), &entry));
        return list;
    }

    std::vector<TReportDisplay> Displays() override {
        std::vector<TReportDisplay> list;
        EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&list));
        return list;
    }
};

} // namespace

std::shared_ptr<ISystemFacts> CreateSystemFacts() { return std::make_shared<TWin32SystemFacts>(); }

} // namespace mellodeck
