#include "report/Templates.h"

#include <gtest/gtest.h>

namespace mellodeck {
namespace {

using Lines = std::vector<std::string>;

TEST(Templates, SplitAtCrLf) {
    EXPECT_EQ(SplitTemplateText(""), Lines{});
    EXPECT_EQ(SplitTemplateText("a"), Lines{"a"});
    EXPECT_EQ(SplitTemplateText("a\r\n"), Lines{"a"});                 // a final break adds no line
    EXPECT_EQ(SplitTemplateText("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitTemplateText("\r\n"), Lines{""});
    EXPECT_EQ(SplitTemplateText("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTemplateText("a\nb\rc"), Lines{"a\nb\rc"});         // only CR LF breaks a line
}

TEST(Templates, MessageAndExceptionTemplatesByAnyCase) {
    Lines lines{"stale"};
    ASSERT_TRUE(LoadTemplateResource("MesageTemplate", lines));
    EXPECT_EQ(lines, Lines{"%Time %MsgType %Message"});
    ASSERT_TRUE(LoadTemplateResource("mesagetemplate", lines));
    EXPECT_EQ(lines, Lines{"%Time %MsgType %Message"});
    ASSERT_TRUE(LoadTemplateResource("ExceptionTemplate", lines));
    EXPECT_EQ(lines, (Lines{"%Time %Type %Message", "  CallStack:", "     %CallStackList"}));
    Lines untouched{"kept"};
    EXPECT_FALSE(LoadTemplateResource("MessageTemplate", untouched)); // the name's spelling is part of it
    EXPECT_FALSE(LoadTemplateResource("", untouched));
    EXPECT_EQ(untouched, Lines{"kept"});
}

TEST(Templates, HeadTemplateLines) {
    const std::string rule(78, '-');
    Lines lines;
    ASSERT_TRUE(LoadTemplateResource("ERRORHEADTEMPLATE", lines));
    const Lines expected{
        "--- Application Info " + rule.substr(21),
        "",
        "  %FileName Build: %Build:15 Started: %Date at %Time",
        " ",
        "--- System Summary " + rule.substr(19),
        "",
        "OS: %OS\\ %NTType\\ %ServicePack  Runned on: %CPUSHORT",
        " ",
        "Memory:",
        "  Physical: %PhysicalMemory:20 Free: %FreePhysicalMemory:20 Loaded: %MemoryLoad",
        "  PageFile: %PageFileMemory:20 Free: %FreePageFileMemory",
        "   Virtual: %VirtualMemory:20 Free: %FreeVirtualMemory",
        "",
        "Displays:",
        "%Displays",
        " ",
        "Network: ",
        "  MAC: %MAC:20",
        "",
        "--- Processes " + rule.substr(14),
        "",
        "%Processes",
        "  ",
        std::string(78, '_'),
    };
    EXPECT_EQ(lines, expected);
}

} // namespace
} // namespace mellodeck
