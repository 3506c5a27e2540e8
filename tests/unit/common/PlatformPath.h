#pragma once
// Paths in the tests are written the Windows way; P() turns them into the build's own separator so one
// table of cases serves the native and the Windows build.
#include <string>

#include "common/FileUtils.h"

namespace mellodeck::test {

inline std::wstring P(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\')
            c = kPathDelimiter;
    return path;
}

} // namespace mellodeck::test
