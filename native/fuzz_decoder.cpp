// libFuzzer target: any byte string, any limit. The input is copied to an exact-size buffer so
// AddressSanitizer reports any read beyond the limit; the result must be self-consistent.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hook/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t limit = data[0] % 17;  // also limits below the 15-byte maximum
  const size_t n = size - 1 < limit ? size - 1 : limit;
  std::vector<uint8_t> exact(data + 1, data + 1 + n);
  DecodedInstruction d;
  const unsigned len = DecodeInstruction(exact.data(), n, &d);
  if (len == 0) {
    if (!(d.flags & DecodeFlags::Error) || d.len != 0) std::abort();
    return 0;
  }
  if (len > n || len > 15 || d.len != len || (d.flags & DecodeFlags::Error)) std::abort();
  // One byte less must be refused, the exact length accepted with the same result.
  DecodedInstruction again;
  if (DecodeInstruction(exact.data(), len - 1, &again) != 0) std::abort();
  if (DecodeInstruction(exact.data(), len, &again) != len || again.flags != d.flags) std::abort();
  const unsigned imm = ImmediateSize(d);
  const unsigned disp = (d.flags & DecodeFlags::Disp8) ? 1 : (d.flags & DecodeFlags::Disp32) ? 4 : 0;
  if (imm + disp >= len) std::abort();
  return 0;
}
