#pragma once
// Test-equipment interface of the stand-in XPWidgets_64.dll: what the stand-in host and the
// tests use to see and drive widget trees. A real simulator has none of this; the plug-in never
// uses it. Main thread only, like the widget API itself.

#if defined(XPWIDGETS_STANDIN_BUILD)
#define SIMW_API __declspec(dllexport)
#else
#define SIMW_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Writes a stable text listing of every widget tree into buf (NUL-terminated, cut to size), one
// line per widget, children indented by two blanks below their parent, trees in creation order:
//   <class> "<descriptor>" <left>,<top>,<right>,<bottom> visible|hidden[ root][ close-box]
//          [ type=N behavior=N state=N][ lit=1]
// class is main-window, sub-window, button, text-field, scroll-bar, caption, general-graphics,
// progress or custom; visible/hidden is the widget's own flag. Gives the full length needed.
SIMW_API int SIMW_Describe(char* buf, int size);

// The first live widget (in creation order) whose descriptor equals the text, preferring one the
// user can see (XPIsWidgetVisible); null when there is none.
SIMW_API void* SIMW_FindWidget(const char* descriptor);

// A screen point where a click reaches this widget itself (not a child over it, not a close
// box). Gives 1 and the point, or 0 when the widget is unknown, not visible or fully covered.
SIMW_API int SIMW_ClickPoint(void* widget, int* x, int* y);

// The screen point of a visible main window's close box. Gives 0 when the widget is not a main
// window with close boxes, not visible, or the box is covered by a child.
SIMW_API int SIMW_CloseBoxPoint(void* window, int* x, int* y);

// Number of live widgets (to see that closing a window left nothing behind).
SIMW_API int SIMW_WidgetCount(void);

// When on, each standard behaviour (close box, push button, check box, radio button, end of a
// window drag) emits an event line through SIM_Event, starting "widgets: ". Off at first;
// SIMW_Reset keeps the setting.
SIMW_API void SIMW_Trace(int on);

// Forgets every widget without messages or simulator calls. Call right after SIM_Init: the
// reset world no longer has the windows the widgets were shown in. Old ids stay invalid.
SIMW_API void SIMW_Reset(void);

#ifdef __cplusplus
}
#endif
