// Executable memory for hand-assembled test functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

class CodeArena {
 public:
  CodeArena();  // 64 KiB of int3 fill, read-write-execute
  ~CodeArena();
  CodeArena(const CodeArena&) = delete;
  CodeArena& operator=(const CodeArena&) = delete;

  // Places `bytes` at the next 32-byte boundary (after `gap` more bytes of int3 fill).
  uint8_t* Put(const std::vector<uint8_t>& bytes, size_t gap = 0);
  uint8_t* base() const { return base_; }

 private:
  uint8_t* base_;
  size_t used_ = 0;
};

// Little-endian bytes of a value, for assembling.
std::vector<uint8_t> Le32(int32_t v);
std::vector<uint8_t> Le64(uint64_t v);
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts);
// rel32 of a branch whose 4 offset bytes end at `end`, to `dest`.
int32_t Rel32(const uint8_t* end, const void* dest);
