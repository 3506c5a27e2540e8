@echo off
rem Undoes install.cmd: the control's COM and sidebar registration (regsvr32 /u) and the tag editor's entry.
rem The options stay under HKCU\Software\Marquill\GDS Controls for a later installation.
setlocal
set "HERE=%~dp0"
regsvr32 /u /s "%HERE%mellodeck.dll"
if errorlevel 1 (
    echo Mellodeck could not be unregistered: regsvr32 /u failed with code %errorlevel%.
    echo Close the sidebar and run uninstall.cmd again from a command prompt started as administrator.
    exit /b 1
)
reg query "HKCU\Software\Marquill" /v Executable >nul 2>&1 && reg delete "HKCU\Software\Marquill" /v Executable /f >nul
rem The maker's key goes too when nothing else is left in it (no options, no other program's values).
set "LEFT="
for /f "usebackq delims=" %%L in (`reg query "HKCU\Software\Marquill" /s 2^>nul`) do (
    if /i not "%%L"=="HKEY_CURRENT_USER\Software\Marquill" set "LEFT=1"
)
if not defined LEFT reg delete "HKCU\Software\Marquill" /f >nul 2>&1
echo Mellodeck is unregistered. The folder can be deleted now.
exit /b 0
