// The 64 KiB offset table, the hot-key slot owners and the log of delivered presses.
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

#include "xpuipc.h"

namespace xpuipc {
namespace {

struct SlotOwner {
    uint32_t pid = 0;  // who registered the key; 0 = nobody (or test equipment)
    uint8_t key = 0, modifiers = 0;
    bool registered = false;
};

struct Press {
    int slot;
    uint8_t key, modifiers;
    uint32_t owner, by;
    bool matches;  // key and modifiers are those the owner registered
};

// On the heap, not in the image: the plug-in under test scans our image for the message text and
// must find the drawn buffer, not the table's copy of it.
std::unique_ptr<uint8_t[]> g_table;
std::array<SlotOwner, kSlotCount> g_owners;
std::deque<Press> g_presses;  // the most recent ones
int g_pressTotal = 0;
constexpr size_t kPressesKept = 256;

uint8_t* Table() {
    if (!g_table) {
        g_table.reset(new uint8_t[kTableSize]);
        memset(g_table.get(), 0, kTableSize);
    }
    return g_table.get();
}

bool InTable(uint32_t offset, uint32_t size) { return uint64_t(offset) + size <= kTableSize; }

void Put32(uint32_t offset, uint32_t value) { memcpy(Table() + offset, &value, 4); }
void Put16(uint32_t offset, uint16_t value) { memcpy(Table() + offset, &value, 2); }

uint32_t Slot(int n) {
    uint32_t value;
    memcpy(&value, Table() + kHotkeySlots + 4 * n, 4);
    return value;
}

// A slot written with byte 3 = 1 is a press for the client that registered the key; any other
// non-zero value registers the writer as the slot's owner; zero frees the slot.
void SlotWritten(int n, uint32_t writer) {
    uint32_t value = Slot(n);
    uint8_t key = value & 0xFF, modifiers = (value >> 8) & 0xFF, pressed = value >> 24;
    SlotOwner& owner = g_owners[n];
    if (pressed == 1) {
        Press p{n, key, modifiers, owner.pid, writer,
                owner.registered && owner.key == key && owner.modifiers == modifiers};
        g_presses.push_back(p);
        if (g_presses.size() > kPressesKept) g_presses.pop_front();
        ++g_pressTotal;
    } else if (value == 0) {
        owner = SlotOwner{};
    } else {
        owner = SlotOwner{writer, key, modifiers, true};
    }
}

}  // namespace

void TableReset() {
    memset(Table(), 0, kTableSize);
    // Not the values the plug-in under test writes at link start, so its writes show.
    Put32(kServerVersion, kOwnServerVersion);
    Put16(kSimulatorCode, kOwnSimulatorCode);
    Put16(kClientCode, kIdentityMarker);
    Put16(kIdentity04D6, 0);
    Put32(kHotkeyCount, 0);
    g_owners.fill(SlotOwner{});
    ClearPresses();
}

void TableFree() { g_table.reset(); }

bool TableRead(uint32_t offset, uint32_t size, uint8_t* out) {
    if (!InTable(offset, size)) return false;
    if (size) memcpy(out, Table() + offset, size);
    return true;
}

bool TableWrite(uint32_t offset, uint32_t size, const uint8_t* data, uint32_t writer) {
    if (!InTable(offset, size)) return false;
    if (size == 0) return true;
    memcpy(Table() + offset, data, size);
    uint64_t end = uint64_t(offset) + size;
    for (int n = 0; n < kSlotCount; ++n) {
        uint32_t slot = kHotkeySlots + 4 * n;
        if (offset < slot + 4 && slot < end) SlotWritten(n, writer);
    }
    if (offset < kMessageTime + 2 && kMessageTime < end) MessageTimeWritten();
    return true;
}

std::string DescribeHotkeys() {
    char line[160];
    uint32_t count;
    memcpy(&count, Table() + kHotkeyCount, 4);
    snprintf(line, sizeof line, "hotkey count %u, notice byte 0x32FE = %u\n", unsigned(count),
             unsigned(Table()[kHotkeyNotice]));
    std::string out = line;
    int shown = 0;
    for (int n = 0; n < kSlotCount; ++n) {
        uint32_t value = Slot(n);
        const SlotOwner& owner = g_owners[n];
        if (value == 0 && !owner.registered) continue;
        snprintf(line, sizeof line, "slot %d: key 0x%02X modifiers %u flags %u pressed %u owner %s\n", n,
                 unsigned(value & 0xFF), unsigned((value >> 8) & 0xFF), unsigned((value >> 16) & 0xFF),
                 unsigned(value >> 24), owner.registered ? Hex(owner.pid).c_str() : "none");
        out += line;
        ++shown;
    }
    if (!shown) out += "no slot in use\n";
    return out;
}

std::string DescribePresses(bool brief) {
    char line[160];
    snprintf(line, sizeof line, "presses %d\n", g_pressTotal);
    std::string out = line;
    for (const Press& p : g_presses) {
        if (brief)
            snprintf(line, sizeof line, "press slot %d key 0x%02X modifiers %u%s\n", p.slot, unsigned(p.key),
                     unsigned(p.modifiers), p.matches ? "" : " (not the registered key)");
        else
            snprintf(line, sizeof line, "press slot %d key 0x%02X modifiers %u owner %s by %s%s\n", p.slot,
                     unsigned(p.key), unsigned(p.modifiers), Hex(p.owner).c_str(), Hex(p.by).c_str(),
                     p.matches ? "" : " (not the registered key)");
        out += line;
    }
    return out;
}

void ClearPresses() {
    g_presses.clear();
    g_pressTotal = 0;
}

}  // namespace xpuipc
