// Executable sections of ELF64 files, PE images, COFF objects and ar archives of COFF objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CodeSection {
  std::string origin;  // file and section name
  std::vector<uint8_t> bytes;
};

// Appends the code sections found in `path`; returns false when the file is none of the formats.
bool ReadCodeSections(const std::string& path, std::vector<CodeSection>* out);
