// A fresh copy of the simulator folder for one scenario run.
#include <cstring>

#include "host.h"

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, "..")) continue;
            std::string path = dir + "\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

bool CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((from + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, "..")) continue;
        std::string src = from + "\\" + data.cFileName, dst = to + "\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ok = CopyTree(src, dst) && ok;
        else ok = CopyFileA(src.c_str(), dst.c_str(), FALSE) && ok;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return ok;
}

std::string QuoteArg(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Absolute(const std::string& path) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n && n < MAX_PATH ? std::string(full) : path;
}

}  // namespace

int RunInInstance(const std::string& instance, int argc, char** argv) {
    std::string source = HostFolder();
    RemoveTree(instance);
    // Parents first, so a nested instance folder can be made.
    for (size_t i = 3; i <= instance.size(); ++i)
        if (i == instance.size() || instance[i] == '\\') CreateDirectoryA(instance.substr(0, i).c_str(), nullptr);
    const char* files[] = {"X-Plane.exe", "XPLM_64.dll", "XPWidgets_64.dll"};
    for (const char* f : files) {
        std::string src = source + "\\" + f;
        if (GetFileAttributesA(src.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (!CopyFileA(src.c_str(), (instance + "\\" + f).c_str(), FALSE)) {
            fprintf(stderr, "cannot copy %s into %s\n", f, instance.c_str());
            return 2;
        }
    }
    if (!CopyTree(source + "\\Resources", instance + "\\Resources")) {
        fprintf(stderr, "cannot copy Resources into %s\n", instance.c_str());
        return 2;
    }

    // The same arguments, paths made absolute, without --instance.
    std::string command = QuoteArg(instance + "\\X-Plane.exe");
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--instance") {
            ++i;
            continue;
        }
        bool pathFollows = a == "--scenario" || a == "--expect" || a == "--pictures";
        command += " " + QuoteArg(a);
        if (pathFollows && i + 1 < argc) command += " " + QuoteArg(Absolute(argv[++i]));
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    // Under a heavily loaded Wine a process start now and then fails with an internal error
    // (1359) that the next attempt does not see: a few tries before the run counts as failed.
    DWORD error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt) Sleep(500);
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, instance.c_str(), &si, &pi)) {
            error = 0;
            break;
        }
        error = GetLastError();
        fprintf(stderr, "starting %s failed (error %lu)%s\n", command.c_str(), error, attempt < 2 ? ", trying again" : "");
    }
    if (error) {
        fprintf(stderr, "cannot start %s (error %lu)\n", command.c_str(), error);
        return 2;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}
