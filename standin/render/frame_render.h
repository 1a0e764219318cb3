#pragma once
// Pictures of the stand-in simulator's recorded frames: a small software renderer of the
// SimDrawItem records and a self-contained PNG writer. Portable C++17, no windows.h.
#include <stdint.h>

#include <vector>

#include "common/sim_frame.h"

// The basic font's cell, one size for every character; XPLMGetFontDimensions reports these
// and a string of n characters is n * kFontCellWidth wide.
constexpr int kFontCellWidth = SIM_FONT_CHAR_WIDTH;
constexpr int kFontCellHeight = SIM_FONT_CHAR_HEIGHT;
constexpr int kFontDescent = 2;  // cell rows below the baseline row

// Largest side accepted; anything bigger (or < 1) yields an empty picture, not a huge allocation.
constexpr int kMaxFrameSide = 8192;

// Background of every frame: a plain dark sky, so dark boxes and panels stand out.
constexpr uint8_t kFrameBackground[3] = {38, 56, 82};

// Draws items in order onto the background. Result: width*height RGB triples, rows top to
// bottom; screen y runs up from the bottom row (pixel row = height-1-y). Rectangles are
// left..right-1 by bottom..top-1; inverted or zero-sized ones draw nothing; all clipped.
// Widget texts are set in the same glyphs, with blanks narrower (6 pixels a glyph, 3 a blank),
// as the simulator's proportional widget font. A widget window's state 1 draws its close box. Widget captions (and text of other widgets) use the item's rgb when it is not black, else
// the widget text colour. Button style 1 is a radio/check box, any other style a push button.
// Inside a widget main window (items of the same window index >= 0, after the main window's
// item), the texts of captions and radio/check boxes may run past their own rect as far as the
// window's body, as the simulator draws them; elsewhere every widget stays inside its rect.
// Empty result when the size is out of range.
std::vector<uint8_t> RenderFrame(int width, int height, const SimDrawItem* items, int count);

// 8-bit RGB PNG. Empty result when the size is out of range or rgb is not width*height*3 bytes.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

// RenderFrame + EncodePng written to path; false on any failure (nothing useful written).
bool SaveFramePng(const char* path, int width, int height, const SimDrawItem* items, int count);
