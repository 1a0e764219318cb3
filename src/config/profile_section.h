#pragma once
// A section of a profile (ini) file read in one call and looked up in memory, with the meaning of
// the single-key reads (GetPrivateProfileIntA): the first of duplicate keys counts, keys match
// without regard to case, blanks around key and value and a pair of quotes around the value go,
// an empty or missing value gives the fallback. Each single read opens and parses the file again
// (tens of microseconds apiece under load); a section of forty keys costs one.
#include <string>

class ProfileSection {
public:
    // Reads [section] of file. A section too large for the buffer is not kept: lookups then
    // make the single reads, so the answers stay the same.
    ProfileSection(const char* file, const char* section);
    // Like GetPrivateProfileIntA(section, key, fallback, file).
    int Int(const char* key, int fallback) const;
    bool Whole() const { return whole_; }

private:
    std::string file_, section_, text_;
    bool whole_ = false;
};
