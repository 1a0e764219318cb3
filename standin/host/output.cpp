#include <cstdio>
#include <mutex>

#include "host.h"

namespace {
std::mutex g_outMutex;
std::vector<std::string> g_lines;
bool g_quiet = false;
}  // namespace

void SetQuiet(bool on) {
    std::lock_guard<std::mutex> lock(g_outMutex);
    g_quiet = on;
}

namespace {
void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}
}  // namespace

void Out(const std::string& raw) {
    if (g_quiet) return;
    // Observations name the simulator folder as ${SIM}, so expected outputs hold wherever the
    // build lives.
    static const std::string folder = HostFolder();
    static const std::string quotedFolder = Quote(folder).substr(1, Quote(folder).size() - 2);
    std::string line = raw;
    ReplaceAll(line, quotedFolder, "${SIM}");
    ReplaceAll(line, folder, "${SIM}");
    std::lock_guard<std::mutex> lock(g_outMutex);
    if (g_quiet) return;
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
