@echo off
rem Registers Mellodeck for the current Windows installation: the control with COM and with the sidebar
rem (regsvr32 runs the library's own registration), and the tag editor for the panel's Edit button.
setlocal
set "HERE=%~dp0"
if not exist "%HERE%mellodeck.dll" (
    echo mellodeck.dll is missing beside install.cmd; unpack the whole zip first.
    exit /b 2
)
regsvr32 /s "%HERE%mellodeck.dll"
set "CODE=%errorlevel%"
if not "%CODE%"=="0" (
    rem What the library wrote before it failed is taken back: a failed installation leaves nothing behind.
    regsvr32 /u /s "%HERE%mellodeck.dll" >nul 2>&1
    echo Mellodeck could not be registered: regsvr32 failed with code %CODE%.
    echo Run install.cmd again from a command prompt started as administrator, and check that the
    echo zip's architecture matches the sidebar's: the x86 zip for a 32-bit sidebar, the x64 zip otherwise.
    exit /b 1
)
if exist "%HERE%mellodeck-tageditor.exe" (
    reg add "HKCU\Software\Marquill" /v Executable /d "%HERE%mellodeck-tageditor.exe" /f >nul
)
echo Mellodeck is registered. Add it to the sidebar from the sidebar's list of panels.
exit /b 0
