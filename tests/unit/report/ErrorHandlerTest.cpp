#include "report/ErrorHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>

#include "FakeSystemFacts.h"
#include "TestPaths.h"
#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "common/SystemError.h"
#include "report/Templates.h"

namespace mellodeck {
namespace {

namespace fs = std::filesystem;

std::string Pad(const std::string& text, size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string WithBreaks(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The head the compiled-in template gives for the fake facts.
std::string ExpectedHead() {
    return WithBreaks({
        "--- Application Info " + std::string(57, '-'),
        "",
        "  host.exe Build: 1.2.3.4        Started: 31.12.2024 at 12:34:56",
        " ",
        "--- System Summary " + std::string(59, '-'),
        "",
        "OS: Windows XP Professional SP2  Runned on: Intel Intel(R) Pentium(R) 4 CPU 2.80GHz 2800",
        " ",
        "Memory:",
        "  Physical: " + Pad("512 MB", 20) + "Free: " + Pad("200 MB", 20) + "Loaded: 07 %",
        "  PageFile: " + Pad("1 GB", 20) + "Free: 2 KB",
        "   Virtual: " + Pad("2 GB", 20) + "Free: 1023 Byte",
        "",
        "Displays:",
        "  Monitor[1]: 1024x768          Primary: Yes\r\n  Monitor[2]: 1280x1024         Primary: No",
        " ",
        "Network: ",
        "  MAC: " + Pad("[MAC]", 20),
        "",
        "--- Processes " + std::string(64, '-'),
        "",
        "C:\\WINDOWS\\explorer.exe [6.0.2900.5512]\r\nC:\\x\\host.exe [0.0.0.0]",
        "  ",
        std::string(78, '_'),
    });
}

bool FolderIsEmpty(const fs::path& folder) { return fs::directory_iterator(folder) == fs::directory_iterator(); }

// A handler whose log goes to a scratch folder and whose facts are fixed.
struct LogFixture {
    test::TempFolder Temp;
    std::shared_ptr<test::TFakeSystemFacts> Facts = std::make_shared<test::TFakeSystemFacts>();
    TErrorHandler Handler{L"Errors.log", 1};
    LogFixture() {
        Handler.SetLogFolder(Temp.Text());
        Handler.Parser().SetSystemFacts(Facts);
    }
    fs::path LogFile() const { return Temp.Path() / "Errors.log"; }
};

TEST(ErrorHandler, InactiveHandlerDropsMessagesAndCreatesNoFile) {
    LogFixture f;
    f.Handler.SetLogFolder(f.Temp.Text("logs"));
    EXPECT_EQ(f.Handler.LogPath(), f.Temp.Text("logs") + kPathDelimiter + L"Errors.log");
    EXPECT_FALSE(f.Handler.Active());
    EXPECT_FALSE(f.Handler.LogMessage(4, L"Frame header read error", false));
    EXPECT_FALSE(f.Handler.LogMessage(4, L"Frame header read error", true));
    EXPECT_TRUE(FolderIsEmpty(f.Temp.Path())) << "neither the log nor its folder may appear";
    EXPECT_EQ(f.Handler.LastLine(), "");
}

TEST(ErrorHandler, DefaultLogFolderIsThisModulesFolder) {
    TErrorHandler handler(L"Errors.log", 1);
    const std::wstring path = handler.LogPath();
    EXPECT_EQ(path, ReportJoinPath(ReportModuleFolder(), L"Errors.log"));
    EXPECT_NE(ModuleName().find(L"report_tests"), std::wstring::npos);
    EXPECT_EQ(ReportModuleFolder(), fs::absolute(fs::current_path()).wstring())
        << "tests run in the folder of their executable";
}

TEST(ErrorHandler, MessageTemplateIsLoadedOnceAndReused) {
    LogFixture f;
    std::vector<std::string> asked;
    f.Handler.SetTemplateLoader([&asked](const std::string& name, std::vector<std::string>& lines) {
        asked.push_back(name);
        return LoadTemplateResource(name, lines);
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(f.Handler.LogMessage(4, L"dropped", false));
    EXPECT_EQ(asked, std::vector<std::string>{"MesageTemplate"});
    ASSERT_TRUE(f.Handler.Activate());
    EXPECT_TRUE(f.Handler.LogMessage(4, L"one", false));
    EXPECT_TRUE(f.Handler.LogMessage(2, L"two", false));
    EXPECT_EQ(asked, (std::vector<std::string>{"MesageTemplate", "ErrorHeadTemplate"}));
    EXPECT_EQ(test::ReadAll(f.LogFile()), ExpectedHead() + "12:34:56 E: one\r\n12:34:56 I: two\r\n");
}

TEST(ErrorHandler, MissingMessageTemplateWritesNothing) {
    LogFixture f;
    int calls = 0;
    f.Handler.SetTemplateLoader([&calls](const std::string& name, std::vector<std::string>& lines) {
        ++calls;
        return name == kHeadTemplateName && LoadTemplateResource(name, lines);
    });
    ASSERT_TRUE(f.Handler.Activate());
    EXPECT_FALSE(f.Handler.LogMessage(4, L"lost", false));
    EXPECT_FALSE(f.Handler.LogMessage(4, L"lost", false));
    EXPECT_EQ(calls, 3) << "the head once, then the message template is tried again for each message";
    EXPECT_EQ(test::ReadAll(f.LogFile()), ExpectedHead());
}

TEST(ErrorHandler, ActivationWritesTheHeadThenMessages) {
    LogFixture f;
    ASSERT_TRUE(f.Handler.Activate());
    EXPECT_TRUE(f.Handler.Active());
    EXPECT_EQ(f.Handler.OpenError(), 0u);
    EXPECT_EQ(f.Handler.LastLine(), std::string(78, '_'));
    EXPECT_TRUE(f.Handler.LogMessage(4, L"Frame header read error", false));
    EXPECT_EQ(f.Handler.LastLine(), "12:34:56 E: Frame header read error");
    EXPECT_TRUE(f.Handler.Activate()) << "activating an active log changes nothing";
    EXPECT_EQ(test::ReadAll(f.LogFile()), ExpectedHead() + "12:34:56 E: Frame header read error\r\n");

    f.Handler.Deactivate();
    EXPECT_FALSE(f.Handler.Active());
    EXPECT_FALSE(f.Handler.LogMessage(4, L"after", false));
    EXPECT_EQ(test::ReadAll(f.LogFile()), ExpectedHead() + "12:34:56 E: Frame header read error\r\n");
}

TEST(ErrorHandler, MessageTypeMarkers) {
    LogFixture f;
    ASSERT_TRUE(f.Handler.Activate());
    const char* expected[] = {"_:", "!:", "I:", "?:", "E:", "?:"};
    for (uint8_t type = 0; type < 6; ++type) {
        ASSERT_TRUE(f.Handler.LogMessage(type, L"m", false));
        EXPECT_EQ(f.Handler.LastLine(), std::string("12:34:56 ") + expected[type] + " m") << int(type);
        EXPECT_EQ(f.Handler.MessageType(), type);
    }
}

TEST(ErrorHandler, RealTimeMessageLine) {
    test::TempFolder temp;
    TErrorHandler handler(L"Errors.log", 1);
    handler.SetLogFolder(temp.Text());
    ASSERT_TRUE(handler.Activate());
    ASSERT_TRUE(handler.LogMessage(4, L"Frame header read error", false));
    const std::string line = handler.LastLine();
    // "<time> E: <text>", whatever the system's time format looks like.
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\S.*[0-9].* E: Frame header read error)"))) << line;
    const std::string log = test::ReadAll(temp.Path() / "Errors.log");
    EXPECT_EQ(log.rfind("--- Application Info ", 0), 0u);
    EXPECT_EQ(log.substr(log.size() - line.size() - 2), line + "\r\n");
}

TEST(ErrorHandler, SystemReturnCodeLineIsAlignedUnderTheMessage) {
    LogFixture f;
    ASSERT_TRUE(f.Handler.Activate());
    SetLastSystemError(5);
    ASSERT_TRUE(f.Handler.LogMessage(4, L"Open failed", true));
    EXPECT_EQ(LastSystemError(), 5u) << "logging leaves the caller's error code alone";
    const std::string line = "12:34:56 E: Open failed";
    const std::string codeLine = std::string(line.find("Open failed") + 2, ' ') + "System return code: 5";
    EXPECT_EQ(test::ReadAll(f.LogFile()), ExpectedHead() + line + "\r\n" + codeLine + "\r\n");
    EXPECT_EQ(f.Handler.LastLine(), codeLine);

    // The column follows the message, wherever the time puts it.
    f.Facts->Time = "1:02:03 PM";
    SetLastSystemError(0);
    ASSERT_TRUE(f.Handler.LogMessage(4, L"x", true));
    EXPECT_EQ(f.Handler.LastLine(), std::string(16, ' ') + "System return code: 0");
}

TEST(ErrorHandler, FailedOpenKeepsTheErrorAndStaysInactive) {
    LogFixture f;
    test::WriteAll(f.Temp.Path() / "plain", "a file, not a folder");
    const std::wstring folder = f.Temp.Text("plain") + kPathDelimiter + L"sub";
    f.Handler.SetLogFolder(folder);
    SetLastSystemError(0);
    EXPECT_FALSE(f.Handler.Activate());
    EXPECT_FALSE(f.Handler.Active());
    EXPECT_NE(f.Handler.OpenError(), 0u);
    EXPECT_FALSE(f.Handler.LogMessage(4, L"dropped", false));
    EXPECT_EQ(test::ReadAll(f.Temp.Path() / "plain"), "a file, not a folder");

    // Once the way is clear, activation succeeds and forgets the old error.
    fs::remove(f.Temp.Path() / "plain");
    EXPECT_TRUE(f.Handler.Activate());
    EXPECT_EQ(f.Handler.OpenError(), 0u);
    EXPECT_TRUE(fs::exists(f.Temp.Path() / "plain" / "sub" / "Errors.log"));
}

TEST(ErrorHandler, CreateModeDecidesWhetherAnOldLogIsKept) {
    for (int mode : {0, 1}) {
        test::TempFolder temp;
        test::WriteAll(temp.Path() / "Errors.log", "older entry\r\n");
        TErrorHandler handler(L"Errors.log", mode);
        handler.SetLogFolder(temp.Text());
        handler.Parser().SetSystemFacts(std::make_shared<test::TFakeSystemFacts>());
        ASSERT_TRUE(handler.Activate());
        handler.LogMessage(4, L"newer", false);
        handler.Deactivate();
        const std::string expected = ExpectedHead() + "12:34:56 E: newer\r\n";
        EXPECT_EQ(test::ReadAll(temp.Path() / "Errors.log"), mode == 0 ? "older entry\r\n" + expected : expected)
            << "mode " << mode;
    }
}

TEST(ErrorHandler, LogNameAsPath) {
    test::TempFolder temp;
    const std::wstring path = temp.Text("deeper") + kPathDelimiter + L"more" + kPathDelimiter + L"my.log";
    TErrorHandler handler(path, 1);
    handler.SetUseLogNameAsPath(true);
    handler.Parser().SetSystemFacts(std::make_shared<test::TFakeSystemFacts>());
    EXPECT_EQ(handler.LogPath(), path);
    ASSERT_TRUE(handler.Activate()) << handler.OpenError();
    handler.Deactivate();
    EXPECT_EQ(test::ReadAll(temp.Path() / "deeper" / "more" / "my.log"), ExpectedHead());
}

// Missing folders of the log are made, whatever their names and whichever separator the path uses.
TEST(ErrorHandler, MissingLogFoldersAreCreated) {
    struct Case {
        std::wstring Folder;             // below the scratch folder
        std::filesystem::path Expected;  // the same, as a native path
        const char* Why;
    };
    const std::wstring sep(1, kPathDelimiter);
    const Case cases[] = {
        {L"Logb\u00FCcher \u0436\u0443\u0440\u043D\u0430\u043B" + sep + L"\u00E9t\u00E9",
         fs::path(u8"Logb\u00FCcher \u0436\u0443\u0440\u043D\u0430\u043B") / u8"\u00E9t\u00E9", "names beyond ASCII"},
        {L"fwd/one/two", fs::path("fwd") / "one" / "two", "\"/\" as the separator (also on Windows)"},
    };
    for (const Case& c : cases) {
        test::TempFolder temp;
        TErrorHandler handler(L"Errors.log", 1);
        handler.SetLogFolder(temp.Text() + sep + c.Folder);
        handler.Parser().SetSystemFacts(std::make_shared<test::TFakeSystemFacts>());
        ASSERT_TRUE(handler.Activate()) << c.Why << ": error " << handler.OpenError();
        handler.Deactivate();
        EXPECT_EQ(test::ReadAll(temp.Path() / c.Expected / "Errors.log"), ExpectedHead()) << c.Why;
    }
}

TEST(ErrorHandler, HeadTemplateFailureIsLoggedInstead) {
    LogFixture f;
    f.Handler.SetTemplateLoader([](const std::string& name, std::vector<std::string>& lines) {
        return name != kHeadTemplateName && LoadTemplateResource(name, lines);
    });
    ASSERT_TRUE(f.Handler.Activate());
    EXPECT_EQ(test::ReadAll(f.LogFile()), "12:34:56 E: Can`t load head template.\r\n");
}

TEST(ErrorHandler, WriteToFileOffDropsLines) {
    LogFixture f;
    f.Handler.SetWriteToFile(false);
    ASSERT_TRUE(f.Handler.Activate());
    EXPECT_FALSE(f.Handler.LogMessage(4, L"dropped", false));
    f.Handler.SetWriteToFile(true);
    EXPECT_TRUE(f.Handler.LogMessage(4, L"kept", false));
    EXPECT_EQ(test::ReadAll(f.LogFile()), "12:34:56 E: kept\r\n");
}

TEST(ErrorHandler, FirstHandlerBecomesTheGlobalOne) {
    EXPECT_EQ(ErrorHandler(), nullptr);
    LogError(L"before any handler: ignored");
    auto first = std::make_unique<TErrorHandler>(L"Errors.log", 1);
    TErrorHandler second(L"Other.log", 0);
    EXPECT_EQ(ErrorHandler(), first.get());
    first.reset();
    EXPECT_EQ(ErrorHandler(), nullptr) << "cleared with its handler, not handed on";
}

TEST(ErrorHandler, StartupAndShutdown) {
    ASSERT_TRUE(ReportStartup());
    TErrorHandler* handler = ErrorHandler();
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->LogName(), L"Errors.log");
    EXPECT_EQ(handler->CreateMode(), 1);
    EXPECT_TRUE(handler->WriteToFile());
    EXPECT_FALSE(handler->Active());
    EXPECT_TRUE(ReportStartup());
    EXPECT_EQ(ErrorHandler(), handler) << "start-up twice keeps the one handler";
    LogError(L"Frame header read error");
    EXPECT_FALSE(fs::exists(ReportModuleFolder() + kPathDelimiter + L"Errors.log"));
    ReportShutdown();
    EXPECT_EQ(ErrorHandler(), nullptr);
    LogError(L"after shutdown: ignored");
    ReportShutdown();
}

TEST(ErrorHandler, LoggingFromManyThreadsWhileTheLogComesAndGoes) {
    std::atomic<bool> stop{false};
    std::atomic<long> calls{0};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 4; ++t)
        loggers.emplace_back([&stop, &calls] {
            while (!stop) {
                LogError(L"Frame header read error");
                ++calls;
            }
        });
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(ReportStartup());
        // Let the loggers run against the live handler before it goes away again.
        const long before = calls;
        while (calls < before + 8)
            std::this_thread::yield();
        ReportShutdown();
    }
    stop = true;
    for (std::thread& t : loggers)
        t.join();
    EXPECT_EQ(ErrorHandler(), nullptr);
}

TEST(ErrorHandler, LinesFromManyThreadsDoNotInterleave) {
    LogFixture f;
    ASSERT_EQ(ErrorHandler(), &f.Handler);
    ASSERT_TRUE(f.Handler.Activate());
    constexpr int kThreads = 4;
    constexpr int kMessages = 100;
    std::vector<std::thread> loggers;
    for (int t = 0; t < kThreads; ++t)
        loggers.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i)
                LogError(L"thread " + std::to_wstring(t) + L" message " + std::to_wstring(i));
        });
    for (std::thread& t : loggers)
        t.join();
    f.Handler.Deactivate();
    const std::string log = test::ReadAll(f.LogFile());
    const std::string head = ExpectedHead();
    ASSERT_EQ(log.compare(0, head.size(), head), 0);
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> out;
        for (size_t pos = head.size(); pos < log.size();) {
            const size_t brk = log.find("\r\n", pos);
            EXPECT_NE(brk, std::string::npos);
            if (brk == std::string::npos)
                break;
            out.push_back(log.substr(pos, brk - pos));
            pos = brk + 2;
        }
        return out;
    }();
    ASSERT_EQ(lines.size(), size_t{kThreads * kMessages});
    std::vector<int> next(kThreads, 0);
    const std::regex pattern(R"(12:34:56 E: thread (\d) message (\d+))");
    for (const std::string& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, pattern)) << line;
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++) << "each thread's messages stay in order";
    }
}

} // namespace
} // namespace mellodeck
