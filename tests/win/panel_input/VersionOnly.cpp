// Body of the version-only libraries: the version test reads their resource, nothing runs them.
extern "C" __declspec(dllexport) int VersionOnlyMarker() { return 1; }
