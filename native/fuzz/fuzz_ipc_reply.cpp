// The server's reply as any bytes in the request area: the walk stays inside the area, hands
// the caller at most the size its buffer holds, and ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simlink/ipc_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The real area is 0x7F00 bytes; smaller areas reach its end with short inputs.
    const size_t areaSize = data[0] & 0x80 ? 0x7F00 : (size_t)(data[0] & 0x7F) * 4;
    const uint32_t destinationSize = data[1] % 64;
    data += 2;
    size -= 2;
    std::vector<uint8_t> area(areaSize);  // exact size: any step past it is caught
    if (areaSize) memcpy(area.data(), data, size < areaSize ? size : areaSize);
    std::vector<uint8_t> destination(destinationSize + 1);
    const uint8_t guard = 0xA5;
    destination[destinationSize] = guard;  // a byte past what the caller said it holds
    int copied = WalkIpcReply(area.data(), area.size(), destinationSize ? destination.data() : nullptr,
                              destinationSize);
    if (destination[destinationSize] != guard) abort();
    if (copied < 0 || (size_t)copied > areaSize / 16) abort();
    return 0;
}
