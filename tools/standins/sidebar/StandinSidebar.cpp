// standin-sidebar.exe: hosts one control the way the sidebar does and carries out steps given on the command
// line or in a script file (one step a line, # starts a comment):
//
//   standin-sidebar [--log FILE] [--script FILE] [STEP...]
//
//   create[:CLSID[,W,H]]   creates the control (default: the product's control, 200 x 150) and activates it
//   plain[:CLSID[,W,H]]    the same with a site that has no display-site interface
//   site                   hands the control a fresh client site
//   size:W,H               resizes the sidebar panel
//   wait:MS                runs the message loop for MS milliseconds
//   move:X,Y  click:X,Y    mouse input at control coordinates
//   drop:X,Y,FILE[|FILE..] drops files on the control
//   capture:FILE.png       the control's pixels
//   about[:FILE.png]       the About box (host command 1), captured and closed
//   options[:FILE.png]     the options page in a property frame, captured and closed
//   command:N              host command N; the result is logged
//   set:NAME=VALUE         a property put by name through IDispatch (numbers as integers, else text)
//   get:NAME               a property read by name; "NAME = value" is logged
//   release                deactivates, detaches and releases the control
//
// Every step is logged ("> step"), with what the display site is told and the results. Exit status 0 when
// every step succeeded, 1 otherwise.
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SidebarSite.h"
#include "common/TextConvert.h"
#include "common/win/Bstr.h"
#include "common/win/ComInit.h"
#include "common/win/Variant.h"

using namespace mellodeck;
using namespace mellodeck::standin;

namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::wstring part;
    std::wistringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Captures and closes the first dialog that comes up while `show` runs (a modal loop of its own).
bool ShowCaptured(const wchar_t* caption, const std::wstring& png, const std::function<HRESULT()>& show,
                  TSiteLog& log) {
    bool captured = false;
    std::thread watcher([&] {
        HWND dialog = WaitForDialog(caption, 20000);
        if (!dialog)
            return;
        ::Sleep(300); // let it paint
        captured = png.empty() || CaptureWindowPng(dialog, png);
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const HRESULT hr = show();
    watcher.join();
    log.Add(L"result " + Hex(hr));
    return SUCCEEDED(hr) && captured;
}

bool ParseClass(const std::vector<std::wstring>& args, CLSID& clsid, int& width, int& height) {
    clsid = CLSID_GoogleSideBarX;
    width = 200;
    height = 150;
    if (!args.empty() && !args[0].empty() && FAILED(::CLSIDFromString(args[0].c_str(), &clsid)))
        return false;
    if (args.size() >= 3) {
        width = std::stoi(args[1]);
        height = std::stoi(args[2]);
    }
    return true;
}

bool RunStep(TSidebarHost& host, const std::wstring& step) {
    TSiteLog& log = host.Log();
    log.Add(L"> " + step);
    const size_t colon = step.find(L':');
    const std::wstring verb = step.substr(0, colon);
    const std::wstring argument = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
    const std::vector<std::wstring> args = Split(argument, L',');
    try {
        if (verb == L"create" || verb == L"plain") {
            CLSID clsid;
            int w, h;
            if (!ParseClass(args, clsid, w, h))
                return false;
            const HRESULT hr = host.Create(clsid, w, h, verb == L"create");
            log.Add(L"result " + Hex(hr));
            return SUCCEEDED(hr);
        }
        if (verb == L"site")
            return SUCCEEDED(host.NewSite(true));
        if (verb == L"size" && args.size() == 2)
            return SUCCEEDED(host.Resize(std::stoi(args[0]), std::stoi(args[1])));
        if (verb == L"wait") {
            TSidebarHost::Pump(static_cast<DWORD>(std::stoul(argument)));
            return true;
        }
        if ((verb == L"move" || verb == L"click") && args.size() == 2) {
            if (verb == L"move")
                host.MouseMove(std::stoi(args[0]), std::stoi(args[1]));
            else
                host.Click(std::stoi(args[0]), std::stoi(args[1]));
            TSidebarHost::Pump(50);
            return true;
        }
        if (verb == L"drop" && args.size() >= 3) {
            const size_t files = argument.find(L',', argument.find(L',') + 1);
            const HRESULT hr = host.DropFiles(Split(argument.substr(files + 1), L'|'), std::stoi(args[0]),
                                              std::stoi(args[1]));
            return SUCCEEDED(hr);
        }
        if (verb == L"capture") {
            TSidebarHost::Pump(50);
            return host.CapturePng(argument);
        }
        if (verb == L"about" || verb == L"command") {
            auto commands = win::ComPtr<IUnknown>(host.Control()).As<IHostPluginCommands>();
            if (!commands)
                return false;
            const LONG command = verb == L"about" ? 1 : std::stol(argument);
            if (command != 1) {
                const HRESULT hr = commands->ExecuteCommand(command);
                log.Add(L"result " + Hex(hr));
                return true;
            }
            return ShowCaptured(L"Mellodeck ", verb == L"about" ? argument : L"",
                                [&] { return commands->ExecuteCommand(1); }, log);
        }
        if (verb == L"options") {
            IUnknown* control = host.Control();
            if (!control)
                return false;
            return ShowCaptured(nullptr, argument, [&] {
                const CLSID page = CLSID_TPropertyPageForm;
                return ::OleCreatePropertyFrame(host.Window(), 0, 0, L"Mellodeck", 1, &control, 1,
                                                const_cast<CLSID*>(&page), 0x409, 0, nullptr);
            }, log);
        }
        if (verb == L"set" || verb == L"get") {
            auto dispatch = win::ComPtr<IUnknown>(host.Control()).As<IDispatch>();
            if (!dispatch)
                return false;
            const size_t equals = argument.find(L'=');
            std::wstring name = argument.substr(0, equals);
            LPOLESTR names[1] = {name.data()};
            DISPID id = 0;
            HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
            if (FAILED(hr)) {
                log.Add(L"result " + Hex(hr));
                return false;
            }
            if (verb == L"get") {
                DISPPARAMS none{};
                win::Variant value;
                hr = dispatch->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr, nullptr);
                win::Variant text;
                if (SUCCEEDED(hr))
                    hr = ::VariantChangeType(text.Get(), value.Get(), 0, VT_BSTR);
                log.Add(name + L" = " + (SUCCEEDED(hr) ? win::BstrText(text.Get()->bstrVal) : Hex(hr)));
                return SUCCEEDED(hr);
            }
            const std::wstring raw = equals == std::wstring::npos ? L"" : argument.substr(equals + 1);
            win::Variant value;
            wchar_t* end = nullptr;
            const long number = std::wcstol(raw.c_str(), &end, 10);
            if (!raw.empty() && end && *end == 0) {
                value.Get()->vt = VT_I4;
                value.Get()->lVal = number;
            } else {
                value.Get()->vt = VT_BSTR;
                value.Get()->bstrVal = win::Bstr::FromString(raw).Release();
            }
            DISPID named = DISPID_PROPERTYPUT;
            DISPPARAMS params{value.Get(), &named, 1, 1};
            hr = dispatch->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
            log.Add(L"result " + Hex(hr));
            return SUCCEEDED(hr);
        }
        if (verb == L"release") {
            host.Release();
            return true;
        }
    } catch (const std::exception&) {
        log.Add(L"bad step");
        return false;
    }
    log.Add(L"unknown step");
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    win::OleInitScope ole;
    TSiteLog log;
    std::vector<std::wstring> steps;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--log" && i + 1 < argc) {
            log.SetFile(argv[++i]);
        } else if (arg == L"--script" && i + 1 < argc) {
            std::ifstream file(std::filesystem::path(argv[++i]), std::ios::binary);
            std::string line;
            while (std::getline(file, line)) {
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                if (!line.empty() && line[0] != '#')
                    steps.push_back(Utf8ToWide(line));
            }
        } else {
            steps.push_back(arg);
        }
    }
    int status = 0;
    {
        TSidebarHost host(log);
        for (const std::wstring& step : steps) {
            if (!RunStep(host, step)) {
                log.Add(L"step failed: " + step);
                status = 1;
            }
        }
    }
    ::CoFreeUnusedLibrariesEx(0, 0);
    return status;
}
