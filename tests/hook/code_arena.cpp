#include "code_arena.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace {
constexpr size_t kArenaSize = 0x10000;
}

CodeArena::CodeArena() {
  base_ = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, kArenaSize, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  if (!base_) throw std::runtime_error("VirtualAlloc");
  std::memset(base_, 0xCC, kArenaSize);
  used_ = 64;
}

CodeArena::~CodeArena() { VirtualFree(base_, 0, MEM_RELEASE); }

uint8_t* CodeArena::Put(const std::vector<uint8_t>& bytes, size_t gap) {
  used_ = (used_ + gap + 31) & ~size_t(31);
  if (used_ + bytes.size() > kArenaSize) throw std::runtime_error("arena full");
  uint8_t* p = base_ + used_;
  std::memcpy(p, bytes.data(), bytes.size());
  used_ += bytes.size();
  FlushInstructionCache(GetCurrentProcess(), p, bytes.size());
  return p;
}

std::vector<uint8_t> Le32(int32_t v) {
  std::vector<uint8_t> b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}

std::vector<uint8_t> Le64(uint64_t v) {
  std::vector<uint8_t> b(8);
  std::memcpy(b.data(), &v, 8);
  return b;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

int32_t Rel32(const uint8_t* end, const void* dest) {
  return int32_t(reinterpret_cast<intptr_t>(dest) - reinterpret_cast<intptr_t>(end));
}
