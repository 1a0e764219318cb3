#include <cstdio>
#include <mutex>

#include "host.h"

namespace {
std::mutex g_outMutex;
std::vector<std::string> g_lines;
}  // namespace

void Out(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outMutex);
    g_lines.push_back(line);
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

const std::vector<std::string>& OutputLines() { return g_lines; }

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 32 || c >= 127) {
                    char hex[8];
                    snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += (char)c;
                }
        }
    }
    return out + "\"";
}

std::string HostFolder() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    char* slash = strrchr(path, '\\');
    if (slash) *slash = 0;
    return path;
}
