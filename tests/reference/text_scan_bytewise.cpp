#include <windows.h>

#include <cstring>

#include "bridge/atc_text_match.h"
#include "reference.h"

namespace {

bool Readable(const MEMORY_BASIC_INFORMATION& region) {
    return region.State == MEM_COMMIT && !(region.Protect & (PAGE_NOACCESS | PAGE_GUARD));
}

// The region around an address, remembered while the walk stays inside it.
struct RegionCache {
    const char* base = nullptr;
    const char* end = nullptr;
    bool readable = false;
};

bool ReadableAt(const char* p, RegionCache& cache) {
    if (p < cache.base || p >= cache.end) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(p, &region, sizeof region) != sizeof region) return false;
        cache.base = static_cast<const char*>(region.BaseAddress);
        cache.end = cache.base + region.RegionSize;
        cache.readable = Readable(region);
    }
    return cache.readable;
}

}  // namespace

const char* ScanForAtcTextByteWise(const void* image, size_t size) {
    const char* start = static_cast<const char*>(image);
    char window[kAtcTextWindow];
    RegionCache first, last;
    for (size_t offset = 0; offset < size; ++offset) {
        const char* at = start + offset;
        // Windows refuses the read of an unreadable page; Wine reads it all the same. Both ends
        // of the window decide, as it spans at most two pages.
        if (!ReadableAt(at, first) || !ReadableAt(at + kAtcTextWindow - 1, last)) continue;
        memset(window, 0, sizeof window);
        SIZE_T got = 0;
        if (ReadProcessMemory(GetCurrentProcess(), at, window, sizeof window, &got) && got == sizeof window &&
            IsAtcTextAtStart(window, kAtcTextWindow))
            return at;
    }
    return nullptr;
}
