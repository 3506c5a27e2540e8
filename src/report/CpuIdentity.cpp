#include "report/SystemFacts.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define MELLODECK_HAVE_CPUID 1
#endif

namespace mellodeck {

TReportCpu ReadCpuIdentity() {
    TReportCpu cpu;
#ifdef MELLODECK_HAVE_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        char vendor[12];
        std::memcpy(vendor, &b, 4);
        std::memcpy(vendor + 4, &d, 4);
        std::memcpy(vendor + 8, &c, 4);
        cpu.VendorId.assign(vendor, sizeof vendor);
    }
    if (__get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000004u) {
        char brand[48];
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __get_cpuid(0x80000002u + leaf, &a, &b, &c, &d);
            std::memcpy(brand + leaf * 16, &a, 4);
            std::memcpy(brand + leaf * 16 + 4, &b, 4);
            std::memcpy(brand + leaf * 16 + 8, &c, 4);
            std::memcpy(brand + leaf * 16 + 12, &d, 4);
        }
        std::string name(brand, strnlen(brand, sizeof brand));
        // Older processors right-align the brand text with leading spaces.
        const size_t first = name.find_first_not_of(' ');
        const size_t last = name.find_last_not_of(' ');
        cpu.Name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    }
#endif
    return cpu;
}

} // namespace mellodeck
