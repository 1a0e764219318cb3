// The function around a target from a hand-built image's exception directory: its primary entry
// and the parts chained to it, and the branches that land in the patched bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hook/function_body.h"

namespace {

constexpr uint32_t kOpt = 0x80 + 24;   // the optional header after "PE\0\0" and the file header
constexpr uint32_t kPdata = 0x200;     // exception directory
constexpr uint32_t kXdata = 0x300;     // unwind data
constexpr uint32_t kText = 0x400;      // code
constexpr uint32_t kSize = 0x800;

struct Image {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kSize, 0xCC);
  unsigned entries = 0;

  Image() {
    std::memset(bytes.data(), 0, kText);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(0x3C, 0x80);
    Put32(0x80, 0x4550);
    bytes[kOpt] = 0x0B;
    bytes[kOpt + 1] = 0x02;
    Put32(kOpt + 56, kSize);
    Put32(kOpt + 108, 16);
    Put32(kOpt + 112 + 24, kPdata);
  }
  void Put32(uint32_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); }
  void Code(uint32_t at, std::vector<uint8_t> code) {
    std::memcpy(&bytes[kText + at], code.data(), code.size());
  }
  // An entry over [begin, end) of the code; chained to the entry `parent` when not negative.
  void Entry(uint32_t begin, uint32_t end, int parent = -1) {
    const uint32_t e = kPdata + 12 * entries, u = kXdata + 16 * entries;
    Put32(e, kText + begin);
    Put32(e + 4, kText + end);
    Put32(e + 8, u);
    bytes[u] = parent < 0 ? 1 : (1 | (0x4 << 3));  // version 1, UNW_FLAG_CHAININFO
    bytes[u + 2] = 0;                               // no unwind codes: the chain follows at once
    if (parent >= 0) std::memcpy(&bytes[u + 4], &bytes[kPdata + 12 * parent], 12);
    ++entries;
    Put32(kOpt + 116 + 24, 12 * entries);
  }
  // Checked by walking every entry and through an index of the directory: both must agree.
  BodyCheck Check(uint32_t target) const {
    const ImageView view{bytes.data(), bytes.size()};
    const PatchSpan span{kText + target, kText + target + 5, kText + target, kText + target + 5};
    std::vector<ChainedPart> room(DirectoryEntries(view) + 1);
    const DirectoryIndex index = IndexDirectory(view, room.data());
    const BodyCheck walked = CheckFunctionBody(view, span);
    EXPECT_EQ(CheckFunctionBody(view, span, &index), walked) << "target +" << target;
    return walked;
  }
  bool Ordered() const {
    const ImageView view{bytes.data(), bytes.size()};
    std::vector<ChainedPart> room(DirectoryEntries(view) + 1);
    return IndexDirectory(view, room.data()).ordered;
  }
};

TEST(FunctionBody, BranchesIntoThePatchedBytesAreFoundInEveryPart) {
  Image im;
  // sub rsp, 0x28 | nop x 6 | add rsp, 0x28; ret: nothing jumps back.
  im.Code(0x00, {0x48, 0x83, 0xEC, 0x28, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x48, 0x83, 0xC4,
                 0x28, 0xC3});
  im.Entry(0x00, 0x0F);
  // Second function: a loop back to +4 from its own body.
  im.Code(0x20, {0x48, 0x83, 0xEC, 0x28, 0x90, 0xFF, 0xC9, 0x75, 0xFB, 0x48, 0x83, 0xC4, 0x28,
                 0xC3});
  im.Entry(0x20, 0x2E);
  // Third: recursion through its entry, and a cold part elsewhere that jumps back to +2.
  im.Code(0x40, {0x90, 0x90, 0x90, 0x90, 0x90, 0xE8, 0xF6, 0xFF, 0xFF, 0xFF, 0xC3});
  im.Entry(0x40, 0x4B);
  im.Code(0x80, {0xE9, 0xBD, 0xFF, 0xFF, 0xFF});  // jmp 0x42
  im.Entry(0x80, 0x85, 2);

  EXPECT_EQ(im.Check(0x00), BodyCheck::Clean);
  EXPECT_EQ(im.Check(0x20), BodyCheck::BranchesIntoPatch);
  EXPECT_EQ(im.Check(0x40), BodyCheck::BranchesIntoPatch);  // from the chained part
  EXPECT_EQ(im.Check(0x60), BodyCheck::NoExtent);           // no entry: a leaf
}

// The parent entry follows a chained part's unwind codes, whose count is padded to an even one:
// with one or three codes the parent lies two bytes further than the count says.
TEST(FunctionBody, AChainedPartWithAnOddNumberOfUnwindCodesFindsItsParent) {
  for (const uint8_t codes : {1, 2, 3}) {
    SCOPED_TRACE(int(codes));
    Image im;
    im.Code(0x40, {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xC3});
    im.Entry(0x40, 0x47);
    im.Code(0x80, {0xE9, 0xBD, 0xFF, 0xFF, 0xFF});  // jmp 0x42, from the cold part
    im.Entry(0x80, 0x85, 0);
    const uint32_t u = kXdata + 16;  // the cold part's unwind data
    im.bytes[u + 2] = codes;
    const uint32_t padded = u + 4 + 2 * ((codes + 1u) & ~1u);
    std::memset(&im.bytes[u + 4], 0, padded - (u + 4));
    std::memcpy(&im.bytes[padded], &im.bytes[kPdata], 12);
    EXPECT_EQ(im.Check(0x40), BodyCheck::BranchesIntoPatch);
  }
}

TEST(FunctionBody, ACallOfTheEntryIsRecursionAJumpToItIsNot) {
  Image im;
  im.Code(0x00, {0x90, 0x90, 0x90, 0x90, 0x90, 0xE8, 0xF6, 0xFF, 0xFF, 0xFF, 0xC3});  // call +0
  im.Entry(0x00, 0x0B);
  im.Code(0x20, {0x90, 0x90, 0x90, 0x90, 0x90, 0xE8, 0xF7, 0xFF, 0xFF, 0xFF, 0xC3});  // call +1
  im.Entry(0x20, 0x2B);
  im.Code(0x40, {0x90, 0x90, 0x90, 0x90, 0x90, 0x74, 0xF9, 0xC3});                    // jz +0
  im.Entry(0x40, 0x48);
  EXPECT_EQ(im.Check(0x00), BodyCheck::Clean);
  EXPECT_EQ(im.Check(0x20), BodyCheck::BranchesIntoPatch);
  EXPECT_EQ(im.Check(0x40), BodyCheck::BranchesIntoPatch);
}

TEST(FunctionBody, BrokenImagesGiveNoExtent) {
  Image im;
  im.Code(0x20, {0x48, 0x83, 0xEC, 0x28, 0x90, 0xFF, 0xC9, 0x75, 0xFB, 0xC3});
  im.Entry(0x20, 0x2A);
  ASSERT_EQ(im.Check(0x20), BodyCheck::BranchesIntoPatch);
  EXPECT_EQ(ImageSize(ImageView{im.bytes.data(), im.bytes.size()}), kSize);

  Image past = im;  // an entry running past the image
  past.Put32(kPdata + 4, kSize + 1);
  EXPECT_EQ(past.Check(0x20), BodyCheck::NoExtent);
  Image dir = im;  // the directory itself past the image
  dir.Put32(kOpt + 112 + 24, kSize - 4);
  EXPECT_EQ(dir.Check(0x20), BodyCheck::NoExtent);
  Image loop = im;  // a chain that names itself
  loop.bytes[kXdata] = 1 | (0x4 << 3);
  std::memcpy(&loop.bytes[kXdata + 4], &loop.bytes[kPdata], 12);
  EXPECT_EQ(loop.Check(0x20), BodyCheck::NoExtent);
  Image notPe = im;
  notPe.bytes[kOpt] = 0x0A;  // PE32
  EXPECT_EQ(notPe.Check(0x20), BodyCheck::NoExtent);
  EXPECT_EQ(ImageSize(ImageView{im.bytes.data(), 0x40}), 0u);  // headers cut short
}

// A directory out of order is no reason to lose the function: the check walks every entry then.
TEST(FunctionBody, EntriesOutOfOrderAreWalked) {
  Image im;
  for (uint32_t f = 0; f < 6; ++f) {
    im.Code(0x20 * f, {0x48, 0x83, 0xEC, 0x28, 0x90, 0xFF, 0xC9, 0x75, 0xFB, 0xC3});  // loop to +4
    im.Entry(0x20 * f, 0x20 * f + 0x0A);
  }
  ASSERT_TRUE(im.Ordered());
  std::vector<uint8_t> first(&im.bytes[kPdata], &im.bytes[kPdata + 12]);
  std::memcpy(&im.bytes[kPdata], &im.bytes[kPdata + 12 * 5], 12);  // the last entry first
  std::memcpy(&im.bytes[kPdata + 12 * 5], first.data(), 12);
  EXPECT_FALSE(im.Ordered());
  for (uint32_t f = 0; f < 6; ++f) EXPECT_EQ(im.Check(0x20 * f), BodyCheck::BranchesIntoPatch) << f;

  Image overlap;  // in order of start, but the first entry runs into the second's code
  overlap.Code(0x00, {0x90, 0xC3});
  overlap.Entry(0x00, 0x24);
  overlap.Code(0x20, {0x48, 0x83, 0xEC, 0x28, 0x90, 0xFF, 0xC9, 0x75, 0xFB, 0xC3});
  overlap.Entry(0x20, 0x2A);
  EXPECT_FALSE(overlap.Ordered());
}

// An index describes one directory: given another image's, the check walks this one's entries.
TEST(FunctionBody, AnIndexOfAnotherDirectoryIsNotUsed) {
  Image small;
  small.Code(0x00, {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xC3});
  small.Entry(0x00, 0x07);
  Image cold = small;  // the same function with a cold part jumping back into its patch
  cold.Code(0x80, {0xE9, 0x7D, 0xFF, 0xFF, 0xFF});  // jmp +2
  cold.Entry(0x80, 0x85, 0);
  std::vector<ChainedPart> room(4);
  const DirectoryIndex index =
      IndexDirectory(ImageView{small.bytes.data(), small.bytes.size()}, room.data());
  EXPECT_EQ(index.partCount, 0u);
  EXPECT_EQ(CheckFunctionBody(ImageView{cold.bytes.data(), cold.bytes.size()},
                              PatchSpan{kText, kText + 5, kText, kText + 5}, &index),
            BodyCheck::BranchesIntoPatch);
}

}  // namespace
