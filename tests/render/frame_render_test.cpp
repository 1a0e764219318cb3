// What a recorded frame looks like: placement, clipping, colours, glyphs and widgets.
#include <limits.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "render/frame_render.h"

namespace {

using Px = std::array<uint8_t, 3>;
const Px kBg = {kFrameBackground[0], kFrameBackground[1], kFrameBackground[2]};
Px Half(Px p) { return {uint8_t(p[0] / 2), uint8_t(p[1] / 2), uint8_t(p[2] / 2)}; }

struct Frame {
    int w, h;
    std::vector<uint8_t> rgb;
    Frame(int width, int height, std::vector<SimDrawItem> items = {})
        : w(width), h(height), rgb(RenderFrame(width, height, items.data(), static_cast<int>(items.size()))) {}
    Px At(int x, int y) const {  // screen coordinates, y up from the bottom row
        const uint8_t* p = &rgb[(static_cast<size_t>(h - 1 - y) * w + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

// Bounding box and count of the pixels where a and b differ.
struct Box {
    int left = INT_MAX, bottom = INT_MAX, right = INT_MIN, top = INT_MIN, count = 0;
};
Box Diff(const Frame& a, const Frame& b) {
    Box d;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (a.At(x, y) != b.At(x, y)) {
                d.left = std::min(d.left, x), d.right = std::max(d.right, x);
                d.bottom = std::min(d.bottom, y), d.top = std::max(d.top, y), ++d.count;
            }
    return d;
}

SimDrawItem Item(int kind, int l, int t, int r, int b, const char* text = "", float R = 0, float G = 0, float B = 0) {
    SimDrawItem it = {};
    it.kind = kind, it.left = l, it.top = t, it.right = r, it.bottom = b, it.window = -1;
    it.rgb[0] = R, it.rgb[1] = G, it.rgb[2] = B;
    strncpy(it.text, text, sizeof it.text - 1);
    return it;
}
SimDrawItem Str(int x, int y, const char* text, float R = 1, float G = 1, float B = 1) {
    return Item(SimDraw_String, x, y, x, y, text, R, G, B);
}

}  // namespace

TEST(RenderFrame, SizeLimitsBackgroundAndUnknownKinds) {
    EXPECT_TRUE(RenderFrame(0, 10, nullptr, 0).empty());
    EXPECT_TRUE(RenderFrame(10, -1, nullptr, 0).empty());
    EXPECT_TRUE(RenderFrame(kMaxFrameSide + 1, 1, nullptr, 0).empty());
    EXPECT_EQ(RenderFrame(1, 1, nullptr, 3), (std::vector<uint8_t>{kBg[0], kBg[1], kBg[2]}));
    EXPECT_EQ(Frame(8, 6, {Item(99, 0, 6, 8, 0, "?")}).rgb, Frame(8, 6).rgb);
}

TEST(RenderFrame, DarkBoxHalvesPixelsWithOriginBottomLeft) {
    Frame f(10, 8, {Item(SimDraw_DarkBox, 2, 4, 5, 1)});  // columns 2..4, rows 1..3 from the bottom
    EXPECT_EQ(f.rgb[((8 - 1 - 1) * 10 + 2) * 3], kBg[0] / 2);  // memory row 0 is the top
    EXPECT_EQ(f.At(4, 3), Half(kBg));
    for (auto [x, y] : {std::pair{1, 1}, {5, 1}, {2, 0}, {2, 4}}) EXPECT_EQ(f.At(x, y), kBg) << x << "," << y;
    EXPECT_EQ(Diff(f, Frame(10, 8)).count, 9);

    Frame twice(10, 8, {Item(SimDraw_DarkBox, 2, 4, 5, 1), Item(SimDraw_DarkBox, 0, 8, 10, 0)});
    EXPECT_EQ(twice.At(3, 2), Half(Half(kBg)));
    EXPECT_EQ(twice.At(9, 7), Half(kBg));
    // Later items draw over earlier ones.
    EXPECT_EQ(Frame(30, 30, {Item(SimDraw_DarkBox, 0, 30, 30, 0), Str(5, 10, "I", 0, 1, 0)}).At(8, 10), (Px{0, 255, 0}));
    EXPECT_EQ(Frame(30, 30, {Str(5, 10, "I", 0, 1, 0), Item(SimDraw_DarkBox, 0, 30, 30, 0)}).At(8, 10), (Px{0, 127, 0}));
}

TEST(RenderFrame, BadGeometryClipsOrDrawsNothing) {
    Frame untouched(80, 60, {
        Item(SimDraw_DarkBox, 2, 1, 5, 4), Item(SimDraw_DarkBox, 3, 9, 3, 1),  // inverted, zero wide
        Item(SimDraw_DarkBox, 80, 10, 90, 0), Item(SimDraw_DarkBox, 0, 0, 10, -10),
        Item(SimDraw_WidgetWindow, INT_MIN, INT_MIN + 50, INT_MIN + 100, INT_MIN, "far"),
        Item(SimDraw_WidgetButton, INT_MAX - 10, INT_MAX, INT_MAX, INT_MAX - 10, "far"),
        Str(INT_MAX, 30, "right"), Str(INT_MIN, 30, "left"), Str(10, INT_MAX, "up"), Str(10, INT_MIN, "down"),
        Str(80, 30, "just off the right"), Str(-8, 30, "."), Str(10, -7, "g"), Str(10, 63, "T")});
    EXPECT_EQ(untouched.rgb, Frame(80, 60).rgb);

    Frame all(80, 60, {Item(SimDraw_DarkBox, INT_MIN, INT_MAX, INT_MAX, INT_MIN)});
    EXPECT_EQ(all.At(0, 0), Half(kBg));
    EXPECT_EQ(all.At(79, 59), Half(kBg));

    // Text filling the whole record without a NUL; widgets far larger than the screen.
    SimDrawItem full = Str(-4000, 30, ""), huge = Item(SimDraw_WidgetWindow, -100000, 100000, 100000, -100000);
    memset(full.text, 'W', sizeof full.text);
    memset(huge.text, 'M', sizeof huge.text);
    EXPECT_EQ(Frame(80, 60, {full, huge, Item(SimDraw_WidgetButton, -5, 70, 200, 20)}).rgb.size(), 80u * 60 * 3);
}

TEST(RenderText, GlyphSitsOnBaselineInStringColour) {
    Frame f(40, 40, {Str(10, 20, "I", 1, 0, 0)});
    const Px red = {255, 0, 0};
    for (int x = 12; x <= 14; ++x) {  // 'I': bars on the baseline row and the cap row
        EXPECT_EQ(f.At(x, 20), red);
        EXPECT_EQ(f.At(x, 26), red);
    }
    EXPECT_EQ(f.At(13, 23), red);
    for (auto [x, y] : {std::pair{11, 20}, {15, 20}, {13, 19}, {13, 27}}) EXPECT_EQ(f.At(x, y), kBg) << x << "," << y;
    EXPECT_EQ(Diff(f, Frame(40, 40)).count, 11);
    EXPECT_EQ(Diff(Frame(40, 40, {Str(10, 20, "g")}), Frame(40, 40)).bottom, 18);  // descender

    Frame c(20, 20, {Str(2, 5, "|", 0.5f, 2.0f, -1.0f), Str(10, 5, "|", NAN, 0.25f, 1.0f)});
    EXPECT_EQ(c.At(5, 8), (Px{128, 255, 0}));
    EXPECT_EQ(c.At(13, 8), (Px{0, 64, 255}));
}

TEST(RenderText, FontCoversPrintableAsciiInsideTheCell) {
    const Frame blank(3 * kFontCellWidth, 3 * kFontCellHeight);
    const int x = kFontCellWidth, base = kFontCellHeight + kFontDescent;
    std::set<std::vector<uint8_t>> seen;
    for (int c = 33; c <= 126; ++c) {
        char s[2] = {static_cast<char>(c), 0};
        Frame f(blank.w, blank.h, {Str(x, base, s)});
        Box d = Diff(f, blank);
        EXPECT_GT(d.count, 0) << char(c);
        EXPECT_GE(d.left, x) << char(c);
        EXPECT_LE(d.right, x + kFontCellWidth - 1) << char(c);  // the cell's first column is the gap
        EXPECT_GE(d.bottom, base - kFontDescent) << char(c);
        EXPECT_LT(d.top, base - kFontDescent + kFontCellHeight) << char(c);
        EXPECT_TRUE(seen.insert(f.rgb).second) << "glyph of '" << char(c) << "' repeats another";
    }
    EXPECT_EQ(Frame(blank.w, blank.h, {Str(x, base, " ")}).rgb, blank.rgb);
    Frame ctl(blank.w, blank.h, {Str(x, base, "\x01")});  // other bytes show a box, not nothing
    EXPECT_EQ(seen.count(ctl.rgb) + seen.count(blank.rgb), 0u);
    EXPECT_EQ(Frame(blank.w, blank.h, {Str(x, base, "\xC3")}).rgb, ctl.rgb);

    // Cells advance by the cell width; a string starting off screen shows exactly its visible cells.
    Box pair = Diff(Frame(60, 30, {Str(0, 10, "II")}), Frame(60, 30));
    EXPECT_EQ(pair.right - pair.left, kFontCellWidth + 2);
    EXPECT_EQ(Frame(60, 30, {Str(-3 * kFontCellWidth, 10, "WWWAb")}).rgb, Frame(60, 30, {Str(0, 10, "Ab")}).rgb);
}

TEST(RenderText, ATabIsOneBlankCellAsXPLMMeasureStringCountsIt) {
    const int w = kFontCellWidth;
    EXPECT_EQ(Frame(200, 30, {Str(0, 10, "A\tB")}).rgb, Frame(200, 30, {Str(0, 10, "A B")}).rgb);
    EXPECT_EQ(Frame(200, 30, {Str(0, 10, "ABCDEFGH\tI")}).rgb,
              Frame(200, 30, {Str(0, 10, "ABCDEFGH"), Str(9 * w, 10, "I")}).rgb);
    EXPECT_EQ(Frame(200, 30, {Str(0, 10, "\t\t")}).rgb, Frame(200, 30).rgb);  // nothing drawn
    // The hints panel's three-frequency line is as wide as its 35-character title.
    Box line = Diff(Frame(300, 30, {Str(5, 10, "ATIS=118.03\tGRND=121.80\tTWR=119.90\t")}), Frame(300, 30));
    EXPECT_LT(line.right, 5 + 35 * w);
}

TEST(RenderWidgets, WindowHasTitleBarCaptionAndCloseBoxAllInside) {
    const int l = 10, t = 100, r = 170, b = 20;
    auto window = [&](const char* caption) {
        SimDrawItem it = Item(SimDraw_WidgetWindow, l, t, r, b, caption);
        it.state = 1;  // with its close box
        return Frame(200, 120, {it});
    };
    Frame plain = window("");
    Box body = Diff(plain, Frame(200, 120));
    EXPECT_EQ(body.count, (r - l) * (t - b));  // covers the rect and nothing else
    EXPECT_EQ(body.left, l);
    EXPECT_EQ(body.top, t - 1);
    EXPECT_NE(plain.At(l + 20, t - 5), plain.At(l + 20, b + 5));  // title bar vs panel
    EXPECT_NE(plain.At(r - 9, t - 9), plain.At(l + 20, t - 9));   // close box at top right

    Box cap = Diff(window("Title"), plain);
    ASSERT_GT(cap.count, 0);
    EXPECT_GT(cap.bottom, t - 20);
    EXPECT_NEAR((cap.left + cap.right) / 2.0, (l + r - 15) / 2.0, kFontCellWidth);
    // A caption far wider than the window stays in the title bar, left of the close box.
    Box clipped = Diff(window(std::string(300, 'M').c_str()), plain);
    EXPECT_GE(clipped.left, l);
    EXPECT_LT(clipped.right, r - 15);
    EXPECT_GT(clipped.bottom, t - 20);
}

TEST(RenderWidgets, WindowWithoutCloseBoxHasNone) {
    SimDrawItem with = Item(SimDraw_WidgetWindow, 10, 100, 170, 20), without = with;
    with.state = 1;
    Box box = Diff(Frame(200, 120, {with}), Frame(200, 120, {without}));
    ASSERT_GT(box.count, 0);
    EXPECT_GT(box.left, 170 - 20);  // only the close box differs
    EXPECT_GT(box.bottom, 100 - 18);
    // Without one, the caption may use the whole title bar.
    without.state = 0;
    strcpy(without.text, std::string(30, 'M').c_str());
    Box cap = Diff(Frame(200, 120, {without}), Frame(200, 120, {Item(SimDraw_WidgetWindow, 10, 100, 170, 20)}));
    EXPECT_GT(cap.right, 170 - 15);
    EXPECT_LT(cap.right, 170);
}

TEST(RenderWidgets, ButtonsShowCaptionAndState) {
    auto button = [](int state, int style, const char* text) {
        SimDrawItem it = Item(SimDraw_WidgetButton, 20, 40, 100, 20, text);
        it.state = state, it.style = style;
        return Frame(120, 60, {it});
    };
    Box cap = Diff(button(0, 0, "OK"), button(0, 0, ""));
    ASSERT_GT(cap.count, 0);
    EXPECT_NEAR((cap.left + cap.right) / 2.0, 60, 2);
    EXPECT_NEAR((cap.bottom + cap.top) / 2.0, 30, 2);
    EXPECT_GT(Diff(button(1, 0, "OK"), button(0, 0, "OK")).count, 0);  // pressed looks different

    // Check box: the state changes only the small square at the left; the caption follows it.
    Box tick = Diff(button(1, 1, "Opt"), button(0, 1, "Opt"));
    Box label = Diff(button(0, 1, "Opt"), button(0, 1, ""));
    ASSERT_GT(tick.count, 0);
    EXPECT_LT(tick.right, 20 + 14);
    EXPECT_GT(label.left, tick.right);
    EXPECT_LT(label.left, 20 + 24);
}

TEST(RenderWidgets, InAWindowLabelsRunPastTheirRectUpToTheWindowBody) {
    // As the simulator draws them: a check box 20 wide with a long label, a narrow caption.
    auto items = [](int window) {
        SimDrawItem w = Item(SimDraw_WidgetWindow, 10, 110, 190, 10, "W"), box = Item(SimDraw_WidgetButton, 30, 40, 50, 24,
                                                                                  " Disable Native ATC"),
                    cap = Item(SimDraw_WidgetCaption, 30, 80, 60, 68, "Window Position");
        w.window = box.window = cap.window = window;
        box.style = 1;
        return std::vector<SimDrawItem>{w, box, cap};
    };
    std::vector<SimDrawItem> inWindow = items(0), loose = items(-1);
    std::vector<SimDrawItem> bare = items(0);
    strcpy(bare[1].text, "");
    strcpy(bare[2].text, "");
    Box label = Diff(Frame(200, 120, {inWindow[0], inWindow[1]}), Frame(200, 120, {bare[0], bare[1]}));
    ASSERT_GT(label.count, 0);
    EXPECT_GT(label.right, 50 + 40);  // well past the button's own rect
    EXPECT_LT(label.right, 190);      // but not past the window
    Box caption = Diff(Frame(200, 120, {inWindow[0], inWindow[2]}), Frame(200, 120, {bare[0], bare[2]}));
    EXPECT_GT(caption.right, 60 + 40);
    EXPECT_LT(caption.right, 190);

    // With no window index the old rule holds: the label stays inside the item's rect.
    std::vector<SimDrawItem> looseBare = items(-1);
    strcpy(looseBare[1].text, "");
    Box cut = Diff(Frame(200, 120, {loose[0], loose[1]}), Frame(200, 120, {looseBare[0], looseBare[1]}));
    EXPECT_LT(cut.right, 50);
    // A label of another window is not widened by this one.
    std::vector<SimDrawItem> other = items(0), otherBare = items(0);
    other[1].window = otherBare[1].window = 1;
    strcpy(otherBare[1].text, "");
    EXPECT_LT(Diff(Frame(200, 120, {other[0], other[1]}), Frame(200, 120, {otherBare[0], otherBare[1]})).right, 50);
}

TEST(RenderWidgets, WidgetTextSetsBlanksNarrowerThanDrawnStrings) {
    auto width = [](SimDrawItem it) {
        Box d = Diff(Frame(200, 40, {it}), Frame(200, 40));
        return d.right - d.left + 1;
    };
    SimDrawItem caption = Item(SimDraw_WidgetCaption, 10, 30, 190, 10, "MMMM", 1, 1, 1);
    // Four 5-pixel glyphs: 3 advances of 6 in a widget as in a string's cells.
    EXPECT_EQ(width(caption), 3 * 6 + 5);
    EXPECT_EQ(width(Str(10, 20, "MMMM")), 3 * kFontCellWidth + 5);
    // In a widget a blank advances half a glyph, in a string a whole cell.
    strcpy(caption.text, "M  M");
    EXPECT_EQ(width(caption), 6 + 3 + 3 + 5);
    EXPECT_EQ(width(Str(10, 20, "M  M")), 3 * kFontCellWidth + 5);
}

TEST(RenderWidgets, CaptionAndBoxStayInsideTheirRect) {
    Frame green(100, 40, {Item(SimDraw_WidgetCaption, 10, 30, 40, 10, "Caption text", 0, 1, 0)});
    Box d = Diff(green, Frame(100, 40));
    EXPECT_GE(d.left, 10);
    EXPECT_LT(d.right, 40);
    EXPECT_EQ(std::count(green.rgb.begin(), green.rgb.end(), 255), d.count);  // all in the item's green
    // Black means "no colour given": the widget text colour, still visible on the sky.
    EXPECT_GT(Diff(Frame(100, 40, {Item(SimDraw_WidgetCaption, 10, 30, 90, 10, "x")}), Frame(100, 40)).count, 0);

    Frame box(100, 40, {Item(SimDraw_WidgetBox, 10, 30, 60, 10)});
    EXPECT_NE(box.At(10, 10), kBg);
    EXPECT_NE(box.At(59, 29), kBg);
    EXPECT_EQ(box.At(35, 20), kBg);
    EXPECT_EQ(box.At(60, 20), kBg);
}
