// The PNG writer checked by an independent reader (png_reader.cpp).
#include <stdio.h>

#include <random>

#include <gtest/gtest.h>

#include "png_reader.h"
#include "render/frame_render.h"
#include "render/zlib_stream.h"

using sim_render::ZlibCompress;

namespace {

std::vector<uint8_t> Bytes(const char* s) { return std::vector<uint8_t>(s, s + strlen(s)); }

std::vector<uint8_t> Noise(size_t n, unsigned seed, unsigned mask = 0xFF) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() & mask);
    return v;
}

Inflated ExpectRoundTrip(const std::vector<uint8_t>& in, const char* what) {
    Inflated out = TestZlibDecode(ZlibCompress(in.data(), in.size()));
    EXPECT_EQ(out.error, "") << what;
    EXPECT_TRUE(out.data == in) << what;
    return out;
}

}  // namespace

TEST(RenderChecksums, MatchReferenceValuesAndIndependentCode) {
    std::vector<uint8_t> check = Bytes("123456789");
    EXPECT_EQ(sim_render::Crc32(check.data(), check.size()), 0xCBF43926u);
    EXPECT_EQ(sim_render::Crc32(check.data() + 4, 5, sim_render::Crc32(check.data(), 4)), 0xCBF43926u);
    std::vector<uint8_t> wiki = Bytes("Wikipedia");
    EXPECT_EQ(sim_render::Adler32(wiki.data(), wiki.size()), 0x11E60398u);
    // All-0xFF over many 5552-byte runs: the sums must be reduced before they overflow.
    std::vector<uint8_t> ff(1 << 20, 0xFF);
    EXPECT_EQ(sim_render::Adler32(ff.data(), ff.size()), TestAdler32(ff.data(), ff.size()));
    std::vector<uint8_t> noise = Noise(100000, 1);
    EXPECT_EQ(sim_render::Crc32(noise.data(), noise.size()), TestCrc32(noise.data(), noise.size()));
}

TEST(RenderZlib, RoundTripsEdgeCasesOfMatching) {
    ExpectRoundTrip({}, "empty");
    ExpectRoundTrip({7}, "one byte");
    ExpectRoundTrip({7, 7}, "two bytes");
    ExpectRoundTrip(Bytes("abcabcabcabcabcabcabcabx"), "overlapping match");
    // Runs around the longest match (258) and the length code boundaries.
    for (size_t n : {3, 4, 10, 11, 257, 258, 259, 260, 516, 517, 1000}) {
        std::vector<uint8_t> v = Bytes("xy");
        v.insert(v.end(), n, 'a');
        v.push_back('z');
        ExpectRoundTrip(v, ("run " + std::to_string(n)).c_str());
    }
    // A block repeated just inside and just beyond the 32 KiB window. 7-bit noise gains
    // nothing from literal codes, so only matching makes the fixed block win over stored.
    for (size_t gap : {32768 - 10, 32768, 32768 + 10}) {
        std::vector<uint8_t> v = Noise(gap, 2, 0x7F), head(v.begin(), v.begin() + 300);
        v.insert(v.end(), head.begin(), head.end());
        EXPECT_EQ(ExpectRoundTrip(v, ("window " + std::to_string(gap)).c_str()).blockTypes, std::vector<int>{1});
    }
}

TEST(RenderZlib, PicksFixedHuffmanForFramesAndStoredForNoise) {
    std::vector<uint8_t> flat(300000, 42);
    std::vector<uint8_t> z = ZlibCompress(flat.data(), flat.size());
    Inflated out = TestZlibDecode(z);
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.blockTypes, std::vector<int>{1});
    EXPECT_LT(z.size(), flat.size() / 100);

    std::vector<uint8_t> noise = Noise(200000, 3);  // more than one 65535-byte stored block
    z = ZlibCompress(noise.data(), noise.size());
    out = TestZlibDecode(z);
    EXPECT_EQ(out.error, "");
    EXPECT_TRUE(out.data == noise);
    EXPECT_EQ(out.blockTypes, std::vector<int>(4, 0));
    EXPECT_LE(z.size(), noise.size() + 6 + 4 * 5);
}

TEST(RenderPng, StructureAndPixelsSurviveDecoding) {
    const int w = 7, h = 5;
    std::vector<uint8_t> rgb(w * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37);
    DecodedPng d = TestPngDecode(EncodePng(w, h, rgb));
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_TRUE(d.rgb == rgb);

    DecodedPng one = TestPngDecode(EncodePng(1, 1, {1, 2, 3}));
    EXPECT_EQ(one.error, "");
    EXPECT_EQ(one.rgb, (std::vector<uint8_t>{1, 2, 3}));

    // Incompressible data spans several IDAT chunks.
    std::vector<uint8_t> noise = Noise(300 * 300 * 3, 4);
    DecodedPng big = TestPngDecode(EncodePng(300, 300, noise));
    ASSERT_EQ(big.error, "");
    EXPECT_GT(big.idatChunks, 1);
    EXPECT_TRUE(big.rgb == noise);
}

TEST(RenderPng, RejectsBadSizes) {
    EXPECT_TRUE(EncodePng(0, 1, {}).empty());
    EXPECT_TRUE(EncodePng(-1, -1, {}).empty());
    EXPECT_TRUE(EncodePng(2, 2, std::vector<uint8_t>(11)).empty());
    EXPECT_TRUE(EncodePng(2, 2, std::vector<uint8_t>(13)).empty());
    EXPECT_TRUE(EncodePng(kMaxFrameSide + 1, 1, std::vector<uint8_t>((kMaxFrameSide + 1) * 3)).empty());
}

TEST(RenderPng, SaveFramePngWritesTheEncodedFrame) {
    SimDrawItem box = {};
    box.kind = SimDraw_DarkBox;
    box.left = 2, box.bottom = 2, box.right = 20, box.top = 10;
    const char* path = "render_test_frame.png";
    remove(path);
    ASSERT_TRUE(SaveFramePng(path, 32, 24, &box, 1));
    std::vector<uint8_t> file;
    if (FILE* f = fopen(path, "rb")) {
        int c;
        while ((c = fgetc(f)) != EOF) file.push_back(static_cast<uint8_t>(c));
        fclose(f);
    }
    remove(path);
    EXPECT_TRUE(file == EncodePng(32, 24, RenderFrame(32, 24, &box, 1)));

    EXPECT_FALSE(SaveFramePng(nullptr, 32, 24, &box, 1));
    EXPECT_FALSE(SaveFramePng("no_such_dir/x/frame.png", 32, 24, &box, 1));
    EXPECT_FALSE(SaveFramePng(path, 0, 24, &box, 1));
    EXPECT_EQ(fopen(path, "rb"), nullptr);
}
