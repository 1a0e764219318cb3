#pragma once
// Built-in bitmap font of the stand-in screen: 5x7 glyphs with 2 descender rows, drawn in the
// basic font's fixed kFontCellWidth x kFontCellHeight cell (see frame_render.h): a blank column
// left of each glyph and a blank row above it.
#include <stdint.h>

namespace sim_render {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 9;          // rows 0..6 sit on and above the baseline, 7..8 below it
constexpr int kGlyphBaselineRow = 6;   // glyph row drawn on the baseline pixel row
constexpr int kGlyphCellOffsetX = 1;   // blank column left of each glyph inside its cell
constexpr int kGlyphCapHeight = 7;

// Rows top to bottom; bit 4 is the leftmost column. Bytes outside printable ASCII get a hollow box.
const uint8_t* FontGlyph(unsigned char c);

}  // namespace sim_render
