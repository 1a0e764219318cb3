#include "simlink/ipc_reply.h"

#include <cstring>

namespace {
uint32_t Get32(const uint8_t* at) {
    uint32_t value;
    memcpy(&value, at, 4);
    return value;
}
}  // namespace

int WalkIpcReply(uint8_t* area, size_t areaSize, const IpcReadTarget* targets, size_t targetCount) {
    int copied = 0;
    size_t reads = 0;
    size_t at = 0;
    while (areaSize - at >= 4) {
        uint8_t* record = area + at;
        const size_t left = areaSize - at;
        const uint8_t id = record[0];
        if (id == 0) break;
        if (id == 1) {
            if (left < 16) break;
            const uint32_t size = Get32(record + 8);
            const uint32_t tag = Get32(record + 12);
            if (size > left - 16) break;
            const IpcReadTarget* target = reads < targetCount ? &targets[reads] : nullptr;
            ++reads;
            if (size && tag && target && target->destination) {
                memcpy(target->destination, record + 16, size < target->size ? size : target->size);
                ++copied;
            }
            at += 16 + (size_t)size;
        } else if (id == 2) {
            if (left < 12) break;
            const uint32_t size = Get32(record + 8);
            if (size > left - 12) break;
            at += 12 + (size_t)size;
        } else {
            record[0] = 0;
            break;
        }
    }
    return copied;
}
