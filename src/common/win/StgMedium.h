#pragma once
// Owners of dropped data: a STGMEDIUM from IDataObject::GetData (ReleaseStgMedium, which also honours
// pUnkForRelease) and the HDROP of a WM_DROPFILES message (DragFinish). An HDROP read from a STGMEDIUM
// belongs to the medium and is not finished separately.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

class StgMedium {
public:
    StgMedium() noexcept : FMedium{} {}
    ~StgMedium() { Reset(); }
    StgMedium(const StgMedium&) = delete;
    StgMedium& operator=(const StgMedium&) = delete;
    StgMedium(StgMedium&& other) noexcept : FMedium(std::exchange(other.FMedium, STGMEDIUM{})) {}
    StgMedium& operator=(StgMedium&& other) noexcept {
        if (this != &other) {
            Reset();
            FMedium = std::exchange(other.FMedium, STGMEDIUM{});
        }
        return *this;
    }

    const STGMEDIUM& Get() const noexcept { return FMedium; }
    explicit operator bool() const noexcept { return FMedium.tymed != TYMED_NULL; }
    // Releases and returns the address for GetData to fill.
    STGMEDIUM* Put() noexcept {
        Reset();
        return &FMedium;
    }
    void Reset() noexcept {
        if (FMedium.tymed != TYMED_NULL || FMedium.pUnkForRelease)
            ::ReleaseStgMedium(&FMedium);
        FMedium = STGMEDIUM{};
    }
    // The file list of a CF_HDROP medium (TYMED_HGLOBAL); null for any other medium.
    HDROP Drop() const noexcept {
        return FMedium.tymed == TYMED_HGLOBAL ? static_cast<HDROP>(FMedium.hGlobal) : nullptr;
    }

private:
    STGMEDIUM FMedium;
};

// The HDROP handed over by WM_DROPFILES.
struct DropTraits {
    using Type = HDROP;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DragFinish(h); }
};
using UniqueDrop = UniqueResource<DropTraits>;

// The names in a file list, in order.
inline std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files;
    if (!drop)
        return files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        const UINT copied = ::DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(copied);
        files.push_back(std::move(name));
    }
    return files;
}

} // namespace mellodeck::win
