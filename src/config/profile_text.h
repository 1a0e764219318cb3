#pragma once
// The text of a profile (ini) section as GetPrivateProfileSectionA gives it, read with the
// meaning of the single-key reads. Portable: no windows.h, so the native fuzzer runs this code.
#include <cstddef>
#include <string>

// The value of key in a section's text as GetPrivateProfileSectionA gives it ("k=v" lines,
// each ended by a NUL, the last by two); false when the key is not there.
bool FindProfileValue(const char* text, size_t size, const char* key, std::string* value);
// A value's integer as GetPrivateProfileIntA makes it (its first 29 characters, with a sign,
// a 0x/0o/0b base prefix, digits up to the first other character, wrapping); the fallback
// for an empty value.
int IntOfProfileValue(const std::string& value, int fallback);
