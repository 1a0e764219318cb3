#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <mutex>

#include "host.h"

namespace {
std::mutex g_outMutex;
std::vector<std::string> g_lines;
bool g_quiet = false;
bool g_ended = false;  // the simulator crashed: nothing more is printed
// Where observations and the host's own messages go: the process's standard streams, until the
// plug-ins' console is moved aside.
FILE* g_out = stdout;
FILE* g_err = stderr;
}  // namespace

FILE* HostErr() { return g_err; }

bool SeparatePluginConsole(const std::string& path) {
    // The host keeps private copies of its standard streams for observations and messages.
    int out = _dup(1), err = _dup(2);
    FILE* outFile = out >= 0 ? _fdopen(out, "w") : nullptr;
    FILE* errFile = err >= 0 ? _fdopen(err, "w") : nullptr;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!outFile || !errFile || file == INVALID_HANDLE_VALUE) {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (outFile) fclose(outFile);
        if (errFile) fclose(errFile);
        return false;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        fclose(outFile);
        fclose(errFile);
        return false;
    }
    fflush(stdout);
    fflush(stderr);
    // Everything else in the process writes to the file: plug-ins sharing this C runtime through
    // its descriptors 1 and 2, plug-ins with their own runtime through the process's standard
    // handles, which they read when they are loaded.
    _dup2(fd, 1);
    _dup2(fd, 2);
    _close(fd);
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(2)));
    std::lock_guard<std::mutex> lock(g_outMutex);
    g_out = outFile;
    g_err = errFile;
    return true;
}

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
    if (g_quiet || g_ended) return;
    g_lines.push_back(line);
    fputs(line.c_str(), g_out);
    fputc('\n', g_out);
    fflush(g_out);
}

void OutLast(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(g_outMutex);
    if (g_ended) return;
    g_ended = true;
    for (const std::string& line : lines) {
        g_lines.push_back(line);
        fputs(line.c_str(), g_out);
        fputc('\n', g_out);
    }
    fflush(g_out);
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
