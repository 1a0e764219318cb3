// The server's reply as any bytes in the request area: the walk stays inside the area, hands
// each read's caller at most the size its buffer holds, and ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simlink/ipc_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The real area is 0x7F00 bytes; smaller areas reach its end with short inputs.
    const size_t areaSize = data[0] & 0x80 ? 0x7F00 : (size_t)(data[0] & 0x7F) * 4;
    // Up to four reads queued (bits 6-7), the first buffer's size below 64 and each next one's
    // size derived from it (a zero size stands for a read without a destination).
    const size_t readCount = data[1] >> 6;
    const uint32_t firstSize = data[1] % 64;
    data += 2;
    size -= 2;
    std::vector<uint8_t> area(areaSize);  // exact size: any step past it is caught
    if (areaSize) memcpy(area.data(), data, size < areaSize ? size : areaSize);
    const uint8_t guard = 0xA5;
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<IpcReadTarget> targets;
    for (size_t n = 0; n < (readCount ? readCount : 1); ++n) {
        const uint32_t bufferSize = (firstSize + 13 * (uint32_t)n) % 64;
        buffers.emplace_back(bufferSize + 1);
        buffers.back()[bufferSize] = guard;  // a byte past what the caller said it holds
        targets.push_back(IpcReadTarget{bufferSize ? buffers.back().data() : nullptr, bufferSize});
    }
    int copied = WalkIpcReply(area.data(), area.size(), targets.data(), readCount ? readCount : 1);
    for (size_t n = 0; n < buffers.size(); ++n)
        if (buffers[n][targets[n].size] != guard) abort();
    if (copied < 0 || (size_t)copied > targets.size() || (size_t)copied > areaSize / 16) abort();
    return 0;
}
