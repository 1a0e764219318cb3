#include "render/frame_render.h"

#include <utility>

#include "render/canvas.h"
#include "render/font.h"

using sim_render::Canvas;
using sim_render::Rect;
using sim_render::Rgb;

namespace {

// Widget look: grey metal panels with a dark blue title bar, as the simulator's classic widgets.
constexpr Rgb kPanel = {150, 156, 162};
constexpr Rgb kPanelBorder = {36, 40, 46};
constexpr Rgb kTitleBar = {58, 74, 100};
constexpr Rgb kTitleText = {236, 236, 236};
constexpr Rgb kHighlight = {214, 218, 222};
constexpr Rgb kShadow = {92, 96, 102};
constexpr Rgb kButtonFace = {178, 184, 190};
constexpr Rgb kButtonPressed = {140, 146, 152};
constexpr Rgb kWidgetText = {16, 16, 20};
constexpr Rgb kCheckInside = {240, 240, 240};
constexpr Rgb kCheckMark = {24, 60, 140};
constexpr Rgb kCloseBox = {170, 56, 48};
constexpr Rgb kOutline = {196, 200, 204};

constexpr int kTitleBarHeight = 18;
constexpr int kCloseBoxSize = 11;
constexpr int kCheckBoxSize = 11;
constexpr size_t kTextMax = SIM_DRAW_TEXT_MAX;

uint8_t Channel(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 1.0f) return 255;
    return static_cast<uint8_t>(v * 255.0f + 0.5f);
}

Rgb ItemColour(const SimDrawItem& it) { return {Channel(it.rgb[0]), Channel(it.rgb[1]), Channel(it.rgb[2])}; }

Rgb WidgetTextColour(const SimDrawItem& it) {
    Rgb c = ItemColour(it);
    return (c.r | c.g | c.b) ? c : kWidgetText;
}

Rect ItemRect(const SimDrawItem& it) { return {it.left, it.bottom, it.right, it.top}; }

// Widget texts are set in the simulator's proportional widget font: glyphs advance 6 pixels as
// in XPLMDrawString's monospaced cells, but blanks only 3.
constexpr int kWidgetAdvance = 6;
constexpr int kWidgetBlankAdvance = 3;

int64_t WidgetTextWidth(const char* text) {
    size_t n = sim_render::BoundedLength(text, kTextMax);
    int64_t width = 0;
    for (size_t i = 0; i < n; ++i) width += text[i] == ' ' ? kWidgetBlankAdvance : kWidgetAdvance;
    return width;
}

void WidgetText(Canvas& cv, int64_t x, int64_t baseline, const char* text, Rgb c) {
    cv.Text(x, baseline, text, kTextMax, c, kWidgetAdvance, kWidgetBlankAdvance);
}

// Baseline that centres capital letters vertically in r.
int64_t CentredBaseline(const Rect& r) { return r.bottom + (r.Height() - sim_render::kGlyphCapHeight) / 2; }

void CentredText(Canvas& cv, const Rect& r, const char* text, Rgb c) {
    WidgetText(cv, r.left + (r.Width() - WidgetTextWidth(text)) / 2, CentredBaseline(r), text, c);
}

void Bevel(Canvas& cv, const Rect& r, Rgb topLeft, Rgb bottomRight) {
    cv.Fill({r.left, r.top - 1, r.right, r.top}, topLeft);
    cv.Fill({r.left, r.bottom, r.left + 1, r.top}, topLeft);
    cv.Fill({r.left, r.bottom, r.right, r.bottom + 1}, bottomRight);
    cv.Fill({r.right - 1, r.bottom, r.right, r.top}, bottomRight);
}

void DrawWindow(Canvas& cv, const SimDrawItem& it, const Rect& r) {
    cv.Fill(r, kPanel);
    Rect bar = {r.left, r.top - kTitleBarHeight, r.right, r.top};
    if (bar.bottom < r.bottom) bar.bottom = r.bottom;
    cv.Fill(bar, kTitleBar);
    cv.Outline(r, kPanelBorder);

    // State 1: the window has its close box (drawn at the top right), which the caption never
    // runs under.
    Rect captionArea = {bar.left + 1, bar.bottom, bar.right - 1, bar.top};
    if (it.state != 0) {
        int64_t boxTop = bar.top - (kTitleBarHeight - kCloseBoxSize) / 2;
        Rect box = {r.right - 4 - kCloseBoxSize, boxTop - kCloseBoxSize, r.right - 4, boxTop};
        cv.Fill(box, kCloseBox);
        cv.Outline(box, kTitleText);
        cv.Line(box.left + 2, box.bottom + 2, box.right - 3, box.top - 3, kTitleText);
        cv.Line(box.left + 2, box.top - 3, box.right - 3, box.bottom + 2, kTitleText);
        captionArea.right = box.left - 2;
    }
    cv.SetClip(captionArea);
    CentredText(cv, captionArea, it.text, kTitleText);
}

// A check box or radio button: the small box at the left of its rect, the label beside it. As in
// the simulator, the label may run on past the rect; labelClip is where it may go.
void DrawCheckButton(Canvas& cv, const SimDrawItem& it, const Rect& r, const Rect& labelClip) {
    int64_t top = r.top - (r.Height() - kCheckBoxSize) / 2;
    Rect box = {r.left + 1, top - kCheckBoxSize, r.left + 1 + kCheckBoxSize, top};
    cv.SetClip(r);
    cv.Fill(box, kCheckInside);
    cv.Outline(box, kPanelBorder);
    if (it.state != 0) cv.Fill({box.left + 3, box.bottom + 3, box.right - 3, box.top - 3}, kCheckMark);
    cv.SetClip(labelClip);
    WidgetText(cv, box.right + 4, CentredBaseline(r), it.text, WidgetTextColour(it));
}

void DrawButton(Canvas& cv, const SimDrawItem& it, const Rect& r) {
    bool pressed = it.state != 0;
    cv.Fill(r, pressed ? kButtonPressed : kButtonFace);
    cv.Outline(r, kPanelBorder);
    Rect inner = {r.left + 1, r.bottom + 1, r.right - 1, r.top - 1};
    if (pressed) Bevel(cv, inner, kShadow, kHighlight);
    else Bevel(cv, inner, kHighlight, kShadow);
    CentredText(cv, r, it.text, WidgetTextColour(it));
}

// The body of the widget main window last drawn in each stand-in window (index), below its
// title bar: the texts of its captions and check boxes may use all of it, as in the simulator,
// where they are not cut at their own rect.
class WindowBodies {
public:
    void Remember(const SimDrawItem& it, const Rect& r) {
        if (it.window < 0) return;
        Rect body = {r.left + 1, r.bottom + 1, r.right - 1, r.top - kTitleBarHeight};
        for (auto& entry : bodies_)
            if (entry.first == it.window) {
                entry.second = body;
                return;
            }
        bodies_.emplace_back(it.window, body);
    }
    // The body of the item's window when it has one and the item lies in it, else the item's rect.
    Rect TextClip(const SimDrawItem& it, const Rect& r) const {
        if (it.window < 0) return r;
        for (const auto& entry : bodies_)
            if (entry.first == it.window) {
                Rect inside = sim_render::Intersect(r, entry.second);
                return inside.Empty() ? r : entry.second;
            }
        return r;
    }

private:
    std::vector<std::pair<int, Rect>> bodies_;
};

void DrawItem(Canvas& cv, const SimDrawItem& it, WindowBodies& bodies) {
    if (it.kind == SimDraw_String) {
        cv.Text(it.left, it.bottom, it.text, kTextMax, ItemColour(it));
        return;
    }
    Rect r = ItemRect(it);
    if (r.Empty()) return;
    switch (it.kind) {
    case SimDraw_DarkBox:
        cv.Darken(r);
        break;
    case SimDraw_WidgetWindow:
        cv.SetClip(r);
        DrawWindow(cv, it, r);
        bodies.Remember(it, r);
        break;
    case SimDraw_WidgetButton:
        if (it.style == 1) {
            DrawCheckButton(cv, it, r, bodies.TextClip(it, r));
        } else {
            cv.SetClip(r);
            DrawButton(cv, it, r);
        }
        break;
    case SimDraw_WidgetCaption:
        cv.SetClip(bodies.TextClip(it, r));
        WidgetText(cv, r.left, CentredBaseline(r), it.text, WidgetTextColour(it));
        break;
    case SimDraw_WidgetBox:
        cv.SetClip(r);
        cv.Outline(r, kOutline);
        WidgetText(cv, r.left + 3, CentredBaseline(r), it.text, WidgetTextColour(it));
        break;
    default:  // unknown kinds from a newer recorder are skipped
        break;
    }
    cv.ResetClip();
}

}  // namespace

std::vector<uint8_t> RenderFrame(int width, int height, const SimDrawItem* items, int count) {
    if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide) return {};
    size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        rgb[i * 3 + 0] = kFrameBackground[0];
        rgb[i * 3 + 1] = kFrameBackground[1];
        rgb[i * 3 + 2] = kFrameBackground[2];
    }
    if (items == nullptr) return rgb;
    Canvas cv(rgb.data(), width, height);
    WindowBodies bodies;
    for (int i = 0; i < count; ++i) DrawItem(cv, items[i], bodies);
    return rgb;
}
