// Test-equipment commands (StandInControl), for scenarios and tests. One command per call, words
// separated by single blanks; the reply is text, one observation per line.
//
//   read OFFSET [SIZE]             hex dump of the table, 16 bytes a line (SIZE 1-4096, default 16)
//   write OFFSET bytes HH...       raw bytes
//   write OFFSET u8|u16|u32 VALUE  a little-endian integer (decimal, 0x hex, or negative decimal)
//   write OFFSET text WORDS...     the rest of the line and a terminating NUL
//   hotkeys                        slots in use with their owners, the count and the 0x32FE byte
//   presses [brief] [clear]        presses delivered to key owners (slot written with byte 3 = 1);
//                                  brief leaves out the owner's and writer's process ids
//   message                        the message shown, its time left and its window
//   status                         server window, batch counters, last refusal, faults
//   counters [closed]              batches and records served, weather batches and writes,
//                                  requests from closed links (only that with "closed")
//   text-buffer [first|second|own|heap] where the drawn text lives (the two fixed places of the real
//                                  server's 64-bit build, or an ordinary static array)
//   fault none | no-reply [MS] | slow-reply MS | window-gone | garbage-id [RECORD [BYTE]] |
//         take-next-mapping COUNTER [PID]
//   window-lifetime [enable-disable|start-stop]
//                                  when the "UIPCMAIN" window exists: while enabled (as real
//                                  servers do, the default) or from start to stop
//   identity-refresh [on|off]      the server rewrites its own identity at 0x3304-0x330B every
//                                  frame while enabled, as some real servers do (default off)
//   reset                          default table, empty logs, no faults
// The same commands, one a line, may stand in "standin-commands.txt" beside the plug-in file: they
// run at XPluginStart (so a scenario can pick the server's behaviour before it is enabled).
// Writes go through the same path as a client's, so they register keys and show messages; their
// writer is 0. Offsets and sizes are checked against the 64 KiB table.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "XPLMUtilities.h"
#include "xpuipc.h"

namespace xpuipc {

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ParseUnsigned(const std::string& word, unsigned long long max, unsigned long long* value) {
    bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const char* digits = word.c_str() + (hex ? 2 : 0);
    if (!*digits || *digits == '-' || *digits == '+' || *digits == ' ') return false;
    char* end = nullptr;
    unsigned long long v = strtoull(digits, &end, hex ? 16 : 10);
    if (*end || v > max) return false;
    *value = v;
    return true;
}

namespace {

// Values of the given byte width: unsigned, or negative decimal as two's complement.
bool Integer(const std::string& word, int width, uint32_t* value) {
    unsigned long long max = width == 4 ? 0xFFFFFFFFull : (1ull << (8 * width)) - 1;
    unsigned long long v;
    if (!word.empty() && word[0] == '-') {
        if (!ParseUnsigned(word.substr(1), (max >> 1) + 1, &v)) return false;
        *value = uint32_t(0u - uint32_t(v));
        return true;
    }
    if (!ParseUnsigned(word, max, &v)) return false;
    *value = uint32_t(v);
    return true;
}

std::string Dump(uint32_t offset, uint32_t size) {
    std::vector<uint8_t> bytes(size);
    TableRead(offset, size, bytes.data());
    std::string out;
    char text[8];
    for (uint32_t i = 0; i < size; ++i) {
        if (i % 16 == 0) {
            if (i) out += "\n";
            snprintf(text, sizeof text, "%04X:", offset + i);
            out += text;
        }
        snprintf(text, sizeof text, " %02X", bytes[i]);
        out += text;
    }
    return out + "\n";
}

bool Command(const std::string& line, std::string* out) {
    std::vector<std::string> w = Words(line);
    if (w.empty()) {
        *out = "empty command";
        return false;
    }
    const std::string& c = w[0];
    unsigned long long offset = 0, size = 16;
    if (c == "read" && (w.size() == 2 || w.size() == 3)) {
        if (!ParseUnsigned(w[1], kTableSize - 1, &offset) ||
            (w.size() == 3 && !ParseUnsigned(w[2], 4096, &size)) || size == 0) {
            *out = "read: OFFSET below 0x10000, SIZE 1 to 4096";
            return false;
        }
        if (offset + size > kTableSize) {
            *out = "read: " + Hex(uint32_t(offset)) + " + " + std::to_string(size) + " runs past the table";
            return false;
        }
        *out = Dump(uint32_t(offset), uint32_t(size));
        return true;
    }
    if (c == "write" && w.size() >= 4) {
        if (!ParseUnsigned(w[1], kTableSize - 1, &offset)) {
            *out = "write: OFFSET below 0x10000";
            return false;
        }
        std::vector<uint8_t> bytes;
        const std::string& kind = w[2];
        if (kind == "bytes") {
            for (size_t i = 3; i < w.size(); ++i) {
                std::string word = w[i].size() > 2 && w[i][1] == 'x' ? w[i] : "0x" + w[i];
                unsigned long long b;
                if (!ParseUnsigned(word, 255, &b)) {
                    *out = "write: \"" + w[i] + "\" is not a hex byte";
                    return false;
                }
                bytes.push_back(uint8_t(b));
            }
        } else if ((kind == "u8" || kind == "u16" || kind == "u32") && w.size() == 4) {
            int width = kind == "u8" ? 1 : kind == "u16" ? 2 : 4;
            uint32_t value;
            if (!Integer(w[3], width, &value)) {
                *out = "write: " + w[3] + " does not fit " + kind;
                return false;
            }
            for (int i = 0; i < width; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
        } else if (kind == "text") {
            // Everything after "text ", as the words were joined.
            size_t at = line.find(" text ");
            std::string text = line.substr(at + 6);
            bytes.assign(text.begin(), text.end());
            bytes.push_back(0);
        } else {
            *out = "write: OFFSET bytes HH... | u8|u16|u32 VALUE | text WORDS...";
            return false;
        }
        if (!TableWrite(uint32_t(offset), uint32_t(bytes.size()), bytes.data(), 0)) {
            *out = "write: " + Hex(uint32_t(offset)) + " + " + std::to_string(bytes.size()) + " runs past the table";
            return false;
        }
        *out = "wrote " + std::to_string(bytes.size()) + " bytes at " + Hex(uint32_t(offset)) + "\n";
        return true;
    }
    if (c == "hotkeys" && w.size() == 1) {
        *out = DescribeHotkeys();
        return true;
    }
    if (c == "presses" && w.size() <= 3) {
        bool brief = false, clear = false, known = true;
        for (size_t i = 1; i < w.size(); ++i) {
            if (w[i] == "brief" && !brief) brief = true;
            else if (w[i] == "clear" && !clear) clear = true;
            else known = false;
        }
        if (known) {
            *out = DescribePresses(brief);
            if (clear) ClearPresses();
            return true;
        }
    }
    if (c == "message" && w.size() == 1) {
        *out = DescribeMessage();
        return true;
    }
    if (c == "status" && w.size() == 1) {
        *out = ServerStatus() + DescribeTextBuffer();
        return true;
    }
    if (c == "counters" && (w.size() == 1 || (w.size() == 2 && w[1] == "closed"))) {
        *out = ServerCounters(w.size() == 2 ? w[1] : "");
        return true;
    }
    if (c == "text-buffer" && w.size() <= 2) {
        if (w.size() == 2 && !SetTextPlacement(w[1], out)) return false;
        *out = DescribeTextBuffer();
        return true;
    }
    if (c == "fault") {
        if (!SetFault(line.size() > 6 ? line.substr(6) : "", out)) return false;
        *out = ServerStatus();
        return true;
    }
    if (c == "window-lifetime" && w.size() <= 2) {
        if (w.size() == 2 && !SetWindowLifetime(w[1], out)) return false;
        *out = DescribeWindowLifetime();
        return true;
    }
    if (c == "identity-refresh" && w.size() <= 2) {
        if (w.size() == 2 && !SetIdentityRefresh(w[1], out)) return false;
        *out = DescribeIdentityRefresh();
        return true;
    }
    if (c == "reset" && w.size() == 1) {
        ClearFaults();
        TableReset();
        *out = "reset\n";
        return true;
    }
    *out = "unknown command \"" + line +
           "\"; commands: read, write, hotkeys, presses, message, status, counters, text-buffer, fault, "
           "window-lifetime, identity-refresh, reset";
    return false;
}

}  // namespace

bool RunCommand(const std::string& line, std::string* out) { return Command(line, out); }

}  // namespace xpuipc

extern "C" __declspec(dllexport) int StandInControl(const char* command, char* out, int outSize) {
    if (!out || outSize <= 0) return 0;
    out[0] = 0;
    if (!command) return 0;
    std::string reply;
    bool ok;
    try {
        ok = xpuipc::Command(command, &reply);
    } catch (...) {
        reply = "out of memory";
        ok = false;
    }
    size_t n = reply.size() < size_t(outSize) - 1 ? reply.size() : size_t(outSize) - 1;
    memcpy(out, reply.data(), n);
    out[n] = 0;
    return ok ? 1 : 0;
}

namespace xpuipc {

void RunStartupCommands() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(ModuleBase()), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::string file(path, n);
    file.erase(file.find_last_of('\\') + 1);
    file += "standin-commands.txt";
    FILE* f = fopen(file.c_str(), "rb");
    if (!f) return;
    char line[512];
    while (fgets(line, sizeof line, f)) {
        std::string command = line;
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
        if (command.empty() || command[0] == '#') continue;
        std::string out;
        bool ok = false;
        try {
            ok = RunCommand(command, &out);
        } catch (...) {
            out = "out of memory";
        }
        if (!ok) XPLMDebugString(("XPUIPC: start-up command \"" + command + "\" failed: " + out + "\n").c_str());
    }
    fclose(f);
}

}  // namespace xpuipc
