// The walk over a client's request area: read records are filled from the offset table (id 1 with
// a 16-byte header; id 4, a 64-bit client's, with a 20-byte header whose destination tag is 8
// bytes), write records (id 2, 12-byte header) are stored into it, a zero id word ends it.
#include <cstdio>
#include <cstring>

#include "xpuipc.h"

namespace xpuipc {
namespace {

constexpr uint32_t kRead = 1, kWrite = 2, kRead64 = 4;

struct Record {
    uint32_t id = 0, offset = 0, size = 0;
    uint32_t header = 0;  // 16, 20 or 12; 0 for the terminator
    bool IsRead() const { return id == kRead || id == kRead64; }
};

uint32_t HeaderSize(uint32_t id) { return id == kRead ? 16 : id == kRead64 ? 20 : 12; }

uint32_t Word(const uint8_t* p) {
    uint32_t value;
    memcpy(&value, p, 4);
    return value;
}

// Reads and checks the record at `position`. The area belongs to another process and may change
// under us, so each field is read once and everything after uses the copies.
bool Parse(const uint8_t* area, size_t areaSize, uint64_t position, Record* r, std::string* reason) {
    char text[160];
    if (position + 4 > areaSize) {
        snprintf(text, sizeof text, "no terminator inside the %zu-byte area", areaSize);
        *reason = text;
        return false;
    }
    r->id = Word(area + position);
    if (r->id == 0) {
        r->header = 0;
        return true;
    }
    if (r->id != kRead && r->id != kWrite && r->id != kRead64) {
        snprintf(text, sizeof text, "unknown id 0x%X at area offset 0x%X", r->id, unsigned(position));
        *reason = text;
        return false;
    }
    r->header = HeaderSize(r->id);
    if (position + r->header > areaSize) {
        snprintf(text, sizeof text, "header at area offset 0x%X runs past the area", unsigned(position));
        *reason = text;
        return false;
    }
    r->offset = Word(area + position + 4);
    r->size = Word(area + position + 8);
    if (position + r->header + r->size > areaSize) {
        snprintf(text, sizeof text, "%s of 0x%X bytes at area offset 0x%X runs past the area",
                 r->IsRead() ? "read" : "write", r->size, unsigned(position));
        *reason = text;
        return false;
    }
    if (uint64_t(r->offset) + r->size > kTableSize) {
        snprintf(text, sizeof text, "%s of 0x%X bytes at offset 0x%X runs past the offset table",
                 r->IsRead() ? "read" : "write", r->size, r->offset);
        *reason = text;
        return false;
    }
    return true;
}

}  // namespace

BatchResult ServeBatch(uint8_t* area, size_t areaSize, uint32_t writer) {
    if (areaSize > kAreaMax) areaSize = kAreaMax;
    BatchResult result;
    Record r;
    // First pass: a batch with any unsound record is refused whole, so a garbage area changes
    // nothing in the table.
    uint64_t position = 0;
    for (;;) {
        if (!Parse(area, areaSize, position, &r, &result.reason)) return result;
        if (r.id == 0) break;
        ++result.records;
        position += r.header + uint64_t(r.size);
    }
    result.terminator = uint32_t(position);
    position = 0;
    for (int n = 0; n < result.records; ++n) {
        bool sound = Parse(area, areaSize, position, &r, &result.reason);
        if (!sound || r.id == 0) {
            if (sound) result.reason = "area changed while it was served";
            result.records = n;
            return result;
        }
        uint8_t* data = area + position + r.header;
        if (r.IsRead()) {
            TableRead(r.offset, r.size, data);
        } else {
            TableWrite(r.offset, r.size, data, writer);
            if (r.offset >= kWeatherFirst && r.offset < kWeatherEnd) ++result.weatherWrites;
        }
        position += r.header + uint64_t(r.size);
    }
    result.ok = true;
    return result;
}

bool RecordStart(const uint8_t* area, size_t areaSize, int index, uint32_t* where) {
    if (areaSize > kAreaMax) areaSize = kAreaMax;
    uint64_t position = 0;
    Record r;
    std::string reason;
    for (int n = 0;; ++n) {
        if (!Parse(area, areaSize, position, &r, &reason)) return false;
        if (n == index) {
            *where = uint32_t(position);
            return true;
        }
        if (r.id == 0) return false;
        position += r.header + uint64_t(r.size);
    }
}

}  // namespace xpuipc
