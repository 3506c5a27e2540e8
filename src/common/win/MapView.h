#pragma once
// Owner of a mapped view of a file mapping (MapViewOfFile), unmapped with UnmapViewOfFile. The mapping
// object itself is a kernel handle (UniqueHandle); the view keeps the mapping alive on its own.
#include <windows.h>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

struct MapViewTraits {
    using Type = void*;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::UnmapViewOfFile(h); }
};

class MapView : public UniqueResource<MapViewTraits> {
public:
    using UniqueResource::UniqueResource;
    // MapViewOfFile of `bytes` bytes (0: to the end of the mapping) at `offset`; empty on failure
    // (GetLastError tells why).
    static MapView Map(HANDLE mapping, DWORD access, ULONGLONG offset = 0, SIZE_T bytes = 0) noexcept {
        return MapView(::MapViewOfFile(mapping, access, static_cast<DWORD>(offset >> 32),
                                       static_cast<DWORD>(offset & 0xFFFFFFFFu), bytes));
    }
    template <typename T> T* As() const noexcept { return static_cast<T*>(Get()); }
};

} // namespace mellodeck::win
