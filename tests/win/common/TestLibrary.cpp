// A library for the tests to load and read; its one export proves it is the right file.
extern "C" __declspec(dllexport) int MellodeckTestValue() {
    return 42;
}
