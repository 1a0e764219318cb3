#pragma once
// Files under the test program's own "simulator folder", written as a user would.
#include <windows.h>

#include <fstream>
#include <string>

#include "config/options.h"

inline void MakeFolders(const std::string& path) {
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

inline void WriteTextFile(const std::string& path, const std::string& text) {
    MakeFolders(path);
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteConfig(const std::string& text) { WriteTextFile(ConfigFilePath(), text); }
inline void RemoveConfig() { DeleteFileA(ConfigFilePath().c_str()); }
