// A library with the helper's file name but without "InstallPlugin".
extern "C" __declspec(dllexport) int NotTheInstaller() { return 0; }
