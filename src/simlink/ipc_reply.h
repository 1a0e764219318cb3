#pragma once
// Reading the server's reply out of the shared request area. Portable: no windows.h, so the
// native fuzzer runs the very code the plug-in uses.
#include <cstddef>
#include <cstdint>

// Where the data of one queued read goes: at most size bytes to destination.
struct IpcReadTarget {
    void* destination = nullptr;
    uint32_t size = 0;
};

// Walks the records the server left in area[0, areaSize): the n-th read (id 1: id, offset, size,
// tag, then size bytes of data) hands its data to targets[n], at most that target's size, and
// only when n < targetCount, the target has a destination and size and tag are both non-zero
// (a read that hands nothing over still takes its place in the count); a write (id 2: id, offset, size, then size
// bytes) is stepped over; id 0 ends the walk, and any other id is overwritten with 0 and ends
// it. Never reads or steps past the area, whatever sizes the server left; a record that would
// run past it ends the walk. Gives the number of read records whose data was handed over.
int WalkIpcReply(uint8_t* area, size_t areaSize, const IpcReadTarget* targets, size_t targetCount);
