// The message log's Win32 services against the running system.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "TestPaths.h"
#include "common/AxSys.h"
#include "report/ErrorHandler.h"
#include "report/ExceptionTemplateParser.h"
#include "report/ReportPlatform.h"

namespace mellodeck {
namespace {

std::string Eval(TExceptionTemplateParser& parser, const std::string& line) {
    parser.EvaluateLine(line);
    return parser.Output();
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t brk; (brk = text.find("\r\n", start)) != std::string::npos; start = brk + 2)
        lines.push_back(text.substr(start, brk - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST(Win32SystemFacts, HostNameAndVersionResource) {
    TExceptionTemplateParser parser;
    EXPECT_EQ(Eval(parser, "%FileName"), "report_win_tests.exe");
    EXPECT_EQ(Eval(parser, "%Build"), "1.2.3.4");
    EXPECT_EQ(Eval(parser, "%VersionHigh\\.%VersionLow"), "1.2");
}

TEST(Win32SystemFacts, WindowsVersion) {
    TExceptionTemplateParser parser;
    const std::string os = Eval(parser, "%OS");
    EXPECT_EQ(os.rfind("Windows ", 0), 0u) << os;
    EXPECT_TRUE(std::regex_match(Eval(parser, "%NTType"), std::regex("Workstation|Professional|Home Edition|Server")))
        << parser.Output();
    EXPECT_TRUE(std::regex_match(Eval(parser, "%ServicePack"), std::regex(R"(SP\d+|\[ServicePack is absent\])")))
        << parser.Output();
}

TEST(Win32SystemFacts, ProcessorAndMemory) {
    TExceptionTemplateParser parser;
    const std::string cpu = Eval(parser, "%CPUShort");
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_TRUE(std::regex_match(cpu, std::regex(R"((Intel|AMD|VIA|Cyrix|Transmeta) .+ \d+)"))) << cpu;
#endif
    for (const char* name : {"%PhysicalMemory", "%FreePhysicalMemory", "%PageFileMemory", "%VirtualMemory"}) {
        const std::string size = Eval(parser, name);
        EXPECT_TRUE(std::regex_match(size, std::regex(R"([1-9]\d* (Byte|KB|MB|GB))"))) << name << ": " << size;
    }
    EXPECT_TRUE(std::regex_match(Eval(parser, "%MemoryLoad"), std::regex(R"(\d\d\d? %)"))) << parser.Output();
    EXPECT_NE(Eval(parser, "%Time").find_first_of("0123456789"), std::string::npos);
    EXPECT_NE(Eval(parser, "%Date").find_first_of("0123456789"), std::string::npos);
}

TEST(Win32SystemFacts, ProcessesListThisProcessWithItsVersion) {
    TExceptionTemplateParser parser;
    const std::vector<std::string> lines = SplitCrLf(Eval(parser, "%Processes"));
    ASSERT_GT(lines.size(), 1u);
    const std::string self = ReportNarrowText(ModuleFileName(true)) + " [1.2.3.4]";
    EXPECT_NE(std::find(lines.begin(), lines.end(), self), lines.end()) << "looked for " << self;
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(.+ \[\d+\.\d+\.\d+\.\d+\])"))) << line;
}

TEST(Win32SystemFacts, Displays) {
    TExceptionTemplateParser parser;
    const std::vector<std::string> lines = SplitCrLf(Eval(parser, "%Displays"));
    int primaries = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, std::regex(R"(  Monitor\[(\d+)\]: [1-9]\d*x[1-9]\d* *(Primary: (Yes|No)))")))
            << lines[i];
        EXPECT_EQ(std::stoul(m[1]), i + 1);
        EXPECT_GE(static_cast<size_t>(m.position(2)), 32u);
        primaries += m[3] == "Yes";
    }
    EXPECT_EQ(primaries, 1);
}

TEST(Win32LogFile, OthersMayReadButNotWriteWhileTheLogIsOpen) {
    test::TempFolder temp;
    TErrorHandler handler(L"Errors.log", 1);
    handler.SetLogFolder(temp.Text());
    ASSERT_TRUE(handler.Activate()) << handler.OpenError();
    ASSERT_TRUE(handler.LogMessage(4, L"Frame header read error", false));
    const std::string log = test::ReadAll(temp.Path() / "Errors.log");
    EXPECT_NE(log.find(" E: Frame header read error\r\n"), std::string::npos);
    std::ofstream writer(temp.Path() / "Errors.log", std::ios::app);
    EXPECT_FALSE(writer.is_open()) << "the log is shared for reading only";
    handler.Deactivate();
}

TEST(Win32LogFile, OpenErrorIsTheSystemCode) {
    test::TempFolder temp;
    test::WriteAll(temp.Path() / "plain", "x");
    TErrorHandler handler(L"Errors.log", 1);
    handler.SetLogFolder(temp.Text("plain") + L"\\sub");
    EXPECT_FALSE(handler.Activate());
    EXPECT_EQ(handler.OpenError(), 3u) << "ERROR_PATH_NOT_FOUND";
}

} // namespace
} // namespace mellodeck
