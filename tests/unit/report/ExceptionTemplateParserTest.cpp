#include "report/ExceptionTemplateParser.h"

#include <gtest/gtest.h>

#include <cctype>

#include "FakeSystemFacts.h"

namespace mellodeck {
namespace {

struct Fixture {
    std::shared_ptr<test::TFakeSystemFacts> Facts = std::make_shared<test::TFakeSystemFacts>();
    TExceptionTemplateParser Parser{Facts};
    std::string Eval(const std::string& line) {
        Parser.EvaluateLine(line);
        return Parser.Output();
    }
};

TEST(SizeText, Table) {
    struct Case {
        uint64_t Bytes;
        const char* Text;
    } cases[] = {
        {0, "0 Kb"},
        {1, "1 Byte"},
        {1023, "1023 Byte"},
        {1024, "1 KB"},
        {2047, "1 KB"},
        {1048575, "1023 KB"},
        {1048576, "1 MB"},
        {1073741823, "1023 MB"},
        {1073741824, "1 GB"},
        {4294967295u, "3 GB"},
        {uint64_t{16} << 30, "16 GB"},           // more than 32 bits: the real size, not a wrapped one
        {uint64_t{5000} << 30, "5000 GB"},       // GB is the largest unit
    };
    for (const Case& c : cases)
        EXPECT_EQ(SizeText(c.Bytes), c.Text) << c.Bytes;
}

TEST(ExceptionTemplateParser, EdgeCasesOfTheHeadLines) {
    Fixture f;
    EXPECT_EQ(f.Eval("%OS\\ %NTType"), "Windows XP Professional");
    EXPECT_EQ(f.Eval("%Build:15 Started:"), "1.2.3.4        Started:");
    EXPECT_EQ(f.Eval("OS: %OS\\ %NTType\\ %ServicePack  Runned on: %CPUSHORT"),
              "OS: Windows XP Professional SP2  Runned on: Intel Intel(R) Pentium(R) 4 CPU 2.80GHz 2800");
    EXPECT_EQ(f.Eval("at %Time"), "at 12:34:56");
}

TEST(ExceptionTemplateParser, ValueRules) {
    Fixture f;
    f.Parser.SetMessage("Frame header read error");
    f.Parser.SetMessageType("Error");
    struct Case {
        const char* Line;
        const char* Expected;
    } cases[] = {
        {"%FileName", "host.exe"},
        {"%VersionHigh\\.%VersionLow", "1.2"},
        {"%Date", "31.12.2024"},
        {"%PhysicalMemory", "512 MB"},
        {"%FreePhysicalMemory", "200 MB"},    // the first of the two table entries wins
        {"%PageFileMemory", "1 GB"},
        {"%FreePageFileMemory", "2 KB"},
        {"%VirtualMemory", "2 GB"},
        {"%FreeVirtualMemory", "1023 Byte"},
        {"%MemoryLoad", "07 %"},
        {"%Type\\: %Message", "Error: Frame header read error"},
        {"%Type: %Message", "ErrorFrame header read error"}, // ":" starts an (empty) width; its space is dropped
        {"%memoryload", "07 %"},              // case is ignored
    };
    for (const Case& c : cases)
        EXPECT_EQ(f.Eval(c.Line), c.Expected) << c.Line;
}

TEST(ExceptionTemplateParser, NamesWithoutRuleAndUnknownNames) {
    Fixture f;
    EXPECT_EQ(f.Eval("%appname"), "[appname]");       // found despite its case; written back as given
    EXPECT_EQ(f.Eval("  MAC: %MAC:20|"), "  MAC: [MAC]               ");
    EXPECT_EQ(f.Eval("%TotalVirtualMemory %CallStackLine %MemLoad"),
              "[TotalVirtualMemory] [CallStackLine] [MemLoad]");
    EXPECT_EQ(f.Eval("%Foo"), "[Unknown - Foo]");
    EXPECT_EQ(f.Eval("%MsgType"), "[Unknown - MsgType]"); // answered only by the log's callback
    // The callback answers names outside the table; the table's own names keep their rules.
    f.Parser.SetOnGetValue([](TStringParser&, const std::string& name, std::string& value) { value = "cb-" + name; });
    EXPECT_EQ(f.Eval("%Foo %OS %AppName"), "cb-Foo Windows XP [AppName]");
}

TEST(ExceptionTemplateParser, EveryVocabularyNameIsKnown) {
    const char* names[] = {"AppName", "FileName", "VersionHigh", "VersionLow", "Build", "OS", "NTType",
                           "ServicePack", "CPUShort", "PhysicalMemory", "FreePhysicalMemory", "PageFileMemory",
                           "FreePageFileMemory", "VirtualMemory", "FreeVirtualMemory", "MemoryLoad", "Date",
                           "Time", "MAC", "MaxAppAddress", "MinAppAddress", "MemLoad", "SwapSize", "SwapUsage",
                           "TotalPhysicalMemory", "TotalPageFileMemory", "TotalVirtualMemory", "Type", "Message",
                           "CallStackLine", "CallStackList", "Processes", "Displays"};
    Fixture f;
    for (const char* name : names) {
        std::string upper = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(f.Eval("%" + upper).find("[Unknown - "), std::string::npos) << name;
    }
}

TEST(ExceptionTemplateParser, FallbacksForUnknownFacts) {
    Fixture f;
    f.Facts->Windows.reset();
    f.Facts->ProductType.reset();
    f.Facts->Sp.reset();
    f.Facts->CpuFacts = {"", "", 0};
    f.Facts->ProcessList.reset();
    f.Facts->DisplayList.clear();
    EXPECT_EQ(f.Eval("%OS\\ %NTType\\ %ServicePack"), "[Unknown System] [Unknown NT Type] [ServicePack is absent]");
    EXPECT_EQ(f.Eval("%CPUShort"), "[Unknown CPU]  0");
    EXPECT_EQ(f.Eval("%Processes"), "[Could not get the running processes list]");
    EXPECT_EQ(f.Eval("%Displays"), "");
}

TEST(ExceptionTemplateParser, CpuShort) {
    EXPECT_EQ(CpuVendorText("AuthenticAMD"), "AMD");
    EXPECT_EQ(CpuVendorText("CyrixInstead"), "Cyrix");
    EXPECT_EQ(CpuVendorText("GenuineTMx86"), "Transmeta");
    EXPECT_EQ(CpuVendorText("CentaurHauls"), "VIA");
    EXPECT_EQ(CpuVendorText("HygonGenuine"), "[Unknown CPU]");
    Fixture f;
    f.Facts->CpuFacts = {"AuthenticAMD", std::string(60, 'n'), 1800};
    EXPECT_EQ(f.Eval("%CPUShort"), "AMD " + std::string(48, 'n') + " 1800");
}

TEST(ExceptionTemplateParser, ProcessesAndDisplays) {
    Fixture f;
    EXPECT_EQ(f.Eval("%Processes"), "C:\\WINDOWS\\explorer.exe [6.0.2900.5512]\r\nC:\\x\\host.exe [0.0.0.0]");
    EXPECT_EQ(f.Eval("%Displays"), "  Monitor[1]: 1024x768          Primary: Yes\r\n"
                                   "  Monitor[2]: 1280x1024         Primary: No");
    f.Facts->DisplayList = {{123456789, 987654321, false}};
    EXPECT_EQ(f.Eval("%Displays"), "  Monitor[1]: 123456789x987654321Primary: No"); // already 32 wide
}

TEST(ExceptionTemplateParser, CallStackLinesGoAheadOfTheirLine) {
    Fixture f;
    f.Parser.CallStack() = {"at Open", "at Read"};
    f.Parser.SetTemplate({"%Time %Type %Message", "  CallStack:", "     %CallStackList"});
    EXPECT_EQ(f.Parser.Result(), (std::vector<std::string>{"12:34:56  ", "  CallStack:", "     at Open",
                                                             "     at Read", "     "}));
}

TEST(ExceptionTemplateParser, RemembersWhereTheMessageStarts) {
    Fixture f;
    f.Parser.SetMessage("text");
    EXPECT_FALSE(f.Parser.MessageColumn());
    f.Eval("%Time E: %Message");
    EXPECT_EQ(f.Parser.MessageColumn(), 12u);
    f.Parser.SetMessage("other");
    EXPECT_FALSE(f.Parser.MessageColumn());
}

// The platform's real facts: whatever the machine, the values must be well formed.
TEST(ExceptionTemplateParser, RealSystemFacts) {
    TExceptionTemplateParser parser;
    parser.EvaluateLine("%FileName");
    EXPECT_EQ(parser.Output().rfind("report_tests", 0), 0u) << parser.Output();
    parser.EvaluateLine("%Processes");
    EXPECT_NE(parser.Output().find("report_tests"), std::string::npos) << "this test is running";
    parser.EvaluateLine("%PhysicalMemory");
    EXPECT_NE(parser.Output(), "0 Kb");
    parser.EvaluateLine("%Time");
    EXPECT_NE(parser.Output().find_first_of("0123456789"), std::string::npos) << parser.Output();
    parser.EvaluateLine("%Date");
    EXPECT_NE(parser.Output().find_first_of("0123456789"), std::string::npos) << parser.Output();
    parser.EvaluateLine("%MemoryLoad");
    const std::string load = parser.Output();
    EXPECT_GE(load.size(), 4u);
    EXPECT_EQ(load.substr(load.size() - 2), " %");
#if defined(__x86_64__) || defined(__i386__)
    parser.EvaluateLine("%CPUShort");
    EXPECT_EQ(parser.Output().find("[Unknown CPU]"), std::string::npos) << parser.Output();
#endif
}

} // namespace
} // namespace mellodeck
