#include "report/Templates.h"

#include <cctype>
#include <iterator>

namespace mellodeck {
namespace {

struct TemplateText {
    const char* Name;
    const char* Text;
};

// Each text ends with CR LF, as a resource script would store it.
constexpr TemplateText kTemplates[] = {
    {kMessageTemplateName, "%Time %MsgType %Message\r\n"},
    {kHeadTemplateName,
     "--- Application Info ---------------------------------------------------------\r\n"
     "\r\n"
     "  %FileName Build: %Build:15 Started: %Date at %Time\r\n"
     " \r\n"
     "--- System Summary -----------------------------------------------------------\r\n"
     "\r\n"
     "OS: %OS\\ %NTType\\ %ServicePack  Runned on: %CPUSHORT\r\n"
     " \r\n"
     "Memory:\r\n"
     "  Physical: %PhysicalMemory:20 Free: %FreePhysicalMemory:20 Loaded: %MemoryLoad\r\n"
     "  PageFile: %PageFileMemory:20 Free: %FreePageFileMemory\r\n"
     "   Virtual: %VirtualMemory:20 Free: %FreeVirtualMemory\r\n"
     "\r\n"
     "Displays:\r\n"
     "%Displays\r\n"
     " \r\n"
     "Network: \r\n"
     "  MAC: %MAC:20\r\n"
     "\r\n"
     "--- Processes ----------------------------------------------------------------\r\n"
     "\r\n"
     "%Processes\r\n"
     "  \r\n"
     "______________________________________________________________________________\r\n"},
    {kExceptionTemplateName, "%Time %Type %Message\r\n"
                             "  CallStack:\r\n"
                             "     %CallStackList\r\n"},
};

bool SameNameIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

} // namespace

std::vector<std::string> SplitTemplateText(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t brk = text.find("\r\n", start);
        if (brk == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, brk - start));
        start = brk + 2;
    }
    return lines;
}

bool LoadTemplateResource(const std::string& name, std::vector<std::string>& lines) {
    for (const TemplateText& t : kTemplates) {
        if (SameNameIgnoringCase(name, t.Name)) {
            lines = SplitTemplateText(t.Text);
            return true;
        }
    }
    return false;
}

} // namespace mellodeck
