#include "config/profile_section.h"

#include <windows.h>

#include <vector>

#include "config/profile_text.h"

namespace {

constexpr DWORD kSectionBufferSize = 32768;

}  // namespace

ProfileSection::ProfileSection(const char* file, const char* section) : file_(file), section_(section) {
    std::vector<char> buffer(kSectionBufferSize);
    DWORD length = GetPrivateProfileSectionA(section, buffer.data(), kSectionBufferSize, file);
    // A section cut short comes back with size - 2 characters.
    if (length >= kSectionBufferSize - 2) return;
    text_.assign(buffer.data(), length + 1 < kSectionBufferSize ? length + 1 : length);
    whole_ = true;
}

int ProfileSection::Int(const char* key, int fallback) const {
    if (!whole_) return (int)GetPrivateProfileIntA(section_.c_str(), key, fallback, file_.c_str());
    std::string value;
    if (!FindProfileValue(text_.data(), text_.size(), key, &value)) return fallback;
    return IntOfProfileValue(value, fallback);
}
