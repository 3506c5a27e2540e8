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
echo Mellodeck is unregistered. The folder can be deleted now.
exit /b 0
