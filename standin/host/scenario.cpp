// The scenario interpreter: one command per line, observations printed in a stable form.
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "XPLMDataAccess.h"
#include "XPLMDefs.h"
#include "XPLMDisplay.h"
#include "common/sim_control.h"
#include "host.h"
#include "atc_control.h"
#include "keys.h"
#include "timers.h"
#include "widgets_access.h"

namespace {

struct Failure {
    std::string message;
};

// Splits a line into words; "double quoted" words keep blanks.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                // Only \n \t \" and \\ are escapes; other backslashes (paths, registry keys) stay.
                if (c == '\\' && i < line.size() && strchr("nt\"\\", line[i])) {
                    char e = line[i++];
                    word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    word += c;
                }
            }
            if (!closed) throw Failure{"unterminated quoted text"};
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

long Number(const std::string& s) {
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 0);
    if (s.empty() || *end) throw Failure{"not a number: " + s};
    return v;
}

double Real(const std::string& s) {
    char* end = nullptr;
    double v = strtod(s.c_str(), &end);
    if (s.empty() || *end) throw Failure{"not a number: " + s};
    return v;
}

void Need(const std::vector<std::string>& w, size_t n, const char* usage) {
    if (w.size() != n) throw Failure{std::string("usage: ") + usage};
}

void PrintLines(const std::string& prefix, const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Out(prefix + line);
    }
}

std::string Describe(const char* what) {
    int size = SIM_Describe(what, nullptr, 0) + 1;
    std::string buf(size, '\0');
    SIM_Describe(what, &buf[0], size);
    buf.resize(strlen(buf.c_str()));
    return buf;
}

std::string SimPath(const std::string& relative) {
    std::string p = relative;
    for (char& c : p)
        if (c == '/') c = '\\';
    return HostFolder() + "\\" + p;
}

std::string ReadFile(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = (bool)in;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void RunPluginCommand(const std::string& verb, const std::vector<std::string>& w) {
    std::vector<int> ids;
    if (w.size() >= 2) {
        int id = PluginIdByName(w[1]);
        if (id < 0) throw Failure{"no plug-in " + w[1]};
        ids.push_back(id);
    } else {
        for (const LoadedPlugin& p : Plugins())
            if (p.id >= 0) ids.push_back(p.id);
    }
    for (int id : ids) {
        if (verb == "enable") SIM_EnablePlugin(id);
        else SIM_DisablePlugin(id);
    }
}

void Registry(const std::vector<std::string>& w) {
    // registry set KEY NAME VALUE | registry delete KEY   (keys under HKEY_LOCAL_MACHINE)
    if (w.size() == 5 && w[1] == "set") {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, w[2].c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            throw Failure{"cannot create registry key " + w[2]};
        RegSetValueExA(key, w[3].c_str(), 0, REG_SZ, (const BYTE*)w[4].c_str(), (DWORD)w[4].size() + 1);
        RegCloseKey(key);
    } else if (w.size() == 3 && w[1] == "delete") {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, w[2].c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, w[2].c_str());
    } else {
        throw Failure{"usage: registry set KEY NAME VALUE | registry delete KEY"};
    }
}

void FileCommand(const std::vector<std::string>& w) {
    // file write PATH TEXT | file copy FROM TO | file delete PATH  (paths relative to the simulator folder)
    if (w.size() == 4 && w[1] == "write") {
        std::string path = SimPath(w[2]);
        std::string dir = path.substr(0, path.rfind('\\'));
        for (size_t i = HostFolder().size() + 1; i <= dir.size(); ++i)
            if (i == dir.size() || dir[i] == '\\') CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
        std::ofstream out(path, std::ios::binary);
        out << w[3];
        if (!out) throw Failure{"cannot write " + w[2]};
    } else if (w.size() == 3 && w[1] == "delete") {
        DeleteFileA(SimPath(w[2]).c_str());
    } else if (w.size() == 4 && w[1] == "copy") {
        std::string to = SimPath(w[3]);
        std::string dir = to.substr(0, to.rfind('\\'));
        for (size_t i = HostFolder().size() + 1; i <= dir.size(); ++i)
            if (i == dir.size() || dir[i] == '\\') CreateDirectoryA(dir.substr(0, i).c_str(), nullptr);
        if (!CopyFileA(SimPath(w[2]).c_str(), to.c_str(), FALSE)) throw Failure{"cannot copy " + w[2]};
    } else {
        throw Failure{"usage: file write PATH TEXT | file copy FROM TO | file delete PATH"};
    }
}

// After a command that ran frames or plug-in code on the simulator's thread (input, a menu pick,
// a message, enabling or disabling), what the plug-ins handed to their own waiting threads (the
// deferred-work thread) is done before the scenario goes on, so the order of what they report,
// and of what they write beside the scenario's own file edits, does not depend on thread timing.
// Within a run of frames they race on.
void SettlePluginThreads() {
    if (!AwaitPluginSleepers(10000)) Out("plug-in threads still busy after 10 s");
}

void Print(const std::vector<std::string>& w) {
    if (w.size() < 2) throw Failure{"usage: print WHAT"};
    const std::string& what = w[1];
    if (what == "file") {
        Need(w, 3, "print file PATH");
        // A plug-in's deferred write lands first.
        if (!AwaitPluginSleepers(10000)) Out("plug-in threads still busy after 10 s");
        bool ok = false;
        std::string text = ReadFile(SimPath(w[2]), &ok);
        if (!ok) Out("file " + w[2] + ": missing");
        else PrintLines("file " + w[2] + ": ", text);
    } else if (what == "log") {
        bool ok = false;
        std::string text = ReadFile(SimPath("Log.txt"), &ok);
        PrintLines("log: ", text);
    } else if (what == "process") {
        Out(w.size() > 2 && w[2] == "change" ? DescribeProcessChange() : DescribeProcess());
    } else if (what == "offthread") {
        Out("offthread-calls " + std::to_string(SIM_OffThreadCalls()) +
            (SIM_OffThreadCalls() ? std::string(" first ") + SIM_FirstOffThreadCall() : std::string()));
    } else if (what == "menu-item") {
        Need(w, 3, "print menu-item PATH");
        int state = SIM_MenuItemState(w[2].c_str());
        if (state < 0) Out("menu-item " + Quote(w[2]) + " missing");
        else
            Out("menu-item " + Quote(w[2]) + ((state & 1) ? " enabled" : " disabled") +
                ((state >> 1) == 2 ? " checked" : (state >> 1) == 1 ? " unchecked" : ""));
    } else if (what == "dataref") {
        Need(w, 3, "print dataref NAME");
        double value = 0;
        int types = SIM_GetDataref(w[2].c_str(), &value);
        std::string line = "dataref " + w[2];
        char buf[64];
        if (!types) {
            line += " missing";
        } else if (types & (xplmType_IntArray | xplmType_FloatArray)) {
            std::vector<double> items(SIM_GetDatarefArray(w[2].c_str(), nullptr, 0));
            SIM_GetDatarefArray(w[2].c_str(), items.data(), (int)items.size());
            for (double v : items) {
                snprintf(buf, sizeof buf, " %.6g", v);
                line += buf;
            }
        } else if (types & xplmType_Data) {
            std::string bytes(SIM_GetDatarefBytes(w[2].c_str(), nullptr, 0), '\0');
            SIM_GetDatarefBytes(w[2].c_str(), &bytes[0], (int)bytes.size());
            line += " " + Quote(bytes.substr(0, bytes.find('\0')));
        } else {
            snprintf(buf, sizeof buf, " %.6g", value);
            line += buf;
        }
        if (SIM_DatarefWritable(w[2].c_str()) == 0) line += " read-only";
        Out(line);
    } else if (what == "desktop-window") {
        // print desktop-window CLASS [CAPTION]: a top-level window any program could find
        if (w.size() != 3 && w.size() != 4) throw Failure{"usage: print desktop-window CLASS [CAPTION]"};
        HWND found = FindWindowExA(nullptr, nullptr, w[2].c_str(), w.size() == 4 ? w[3].c_str() : nullptr);
        std::string line = "desktop-window " + Quote(w[2]) + (w.size() == 4 ? " " + Quote(w[3]) : std::string());
        if (!found) {
            Out(line + " missing");
            return;
        }
        char text[256] = "";
        GetWindowTextA(found, text, sizeof text);
        char hex[64];
        snprintf(hex, sizeof hex, " style=0x%08lX exstyle=0x%08lX", (unsigned long)GetWindowLongA(found, GWL_STYLE),
                 (unsigned long)GetWindowLongA(found, GWL_EXSTYLE));
        Out(line + " found caption " + Quote(text) + hex + (IsWindowVisible(found) ? " visible" : " hidden"));
    } else if (what == "desktop-windows") {
        // print desktop-windows CLASS: how many top-level windows of that class exist
        Need(w, 3, "print desktop-windows CLASS");
        struct Count {
            std::string cls;
            int n;
        } count{w[2], 0};
        EnumWindows(
            [](HWND window, LPARAM p) -> BOOL {
                Count* c = reinterpret_cast<Count*>(p);
                char name[256] = "";
                GetClassNameA(window, name, sizeof name);
                if (c->cls == name) ++c->n;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        Out("desktop-windows " + Quote(w[2]) + ": " + std::to_string(count.n));
    } else if (what == "hooks") {
        DescribeApiPatches();
    } else if (what == "timer-runs") {
        DescribeTimerRuns();
    } else if (what == "widgets") {
        PrintLines("", DescribeWidgets());
    } else if (what == "timers") {
        DescribeTimers();
    } else if (what == "time") {
        char buf[64];
        snprintf(buf, sizeof buf, "time %.2f", SIM_Now());
        Out(buf);
    } else {
        static const char* kDescribed[] = {"plugins", "menus",    "windows",  "flightloops", "hotkeys",
                                           "sniffers", "datarefs", "commands", "frame", "frame-cost",
                                           "callers", "headset"};
        for (const char* d : kDescribed)
            if (what == d) {
                std::string text = Describe(d);
                if (text.empty()) Out(what + ": none");
                else PrintLines("", text);
                return;
            }
        throw Failure{"print: unknown " + what};
    }
}

void Key(const std::vector<std::string>& w) {
    // key NAME [down|up|press] [shift] [ctrl] [alt]
    if (w.size() < 2) throw Failure{"usage: key NAME [down|up|press] [shift|ctrl|alt]..."};
    KeyCode code;
    if (!LookUpKey(w[1], &code)) throw Failure{"unknown key " + w[1]};
    std::string phase = "press";
    int mods = 0;
    for (size_t i = 2; i < w.size(); ++i) {
        if (w[i] == "down" || w[i] == "up" || w[i] == "press") phase = w[i];
        else if (w[i] == "shift") mods |= xplm_ShiftFlag;
        else if (w[i] == "ctrl") mods |= xplm_ControlFlag;
        else if (w[i] == "alt") mods |= xplm_OptionAltFlag;
        else throw Failure{"key: unknown word " + w[i]};
    }
    char ch = code.character;
    if ((mods & xplm_ShiftFlag) && ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
    if (phase != "up") SIM_Key(ch, mods | xplm_DownFlag, (char)code.virtualKey);
    if (phase != "down") SIM_Key(ch, mods | xplm_UpFlag, (char)code.virtualKey);
}

// keys KEY[+shift][+ctrl][+alt]...: each key pressed and released in turn within one frame, with
// no wait for the plug-ins' threads in between or after, as a pilot's fast fingers or a macro.
void Keys(const std::vector<std::string>& w) {
    if (w.size() < 2) throw Failure{"usage: keys KEY[+shift][+ctrl][+alt]..."};
    for (size_t i = 1; i < w.size(); ++i) {
        std::vector<std::string> key;
        size_t start = 0;
        // A key named "+" comes first, so the name ends at the first "+" after its first character.
        for (size_t plus = w[i].find('+', 1); plus != std::string::npos; plus = w[i].find('+', start + 1)) {
            key.push_back(w[i].substr(start, plus - start));
            start = plus + 1;
        }
        key.push_back(w[i].substr(start));
        key.insert(key.begin(), "key");
        for (size_t k = 2; k < key.size(); ++k)
            if (key[k] != "shift" && key[k] != "ctrl" && key[k] != "alt") throw Failure{"keys: unknown word " + w[i]};
        Key(key);
    }
}

// Trailing words of click and mouse: "right" for the right button, "headset" among the windows
// the headset shows.
void MouseWords(const std::vector<std::string>& w, size_t from, int* right, int* headset) {
    for (size_t i = from; i < w.size(); ++i) {
        if (w[i] == "right") *right = 1;
        else if (w[i] == "headset") *headset = 1;
        else throw Failure{w[0] + ": unknown word " + w[i]};
    }
}

void Mouse(const std::vector<std::string>& w) {
    int right = 0, headset = 0;
    if (w[0] == "click") {
        if (w.size() < 3) throw Failure{"usage: click X Y [right] [headset]"};
        MouseWords(w, 3, &right, &headset);
        int x = (int)Number(w[1]), y = (int)Number(w[2]);
        int taken = SIM_MouseEx(x, y, xplm_MouseDown, right, headset);
        SIM_MouseEx(x, y, xplm_MouseUp, right, headset);
        if (!taken) Out("click " + w[1] + "," + w[2] + ": no window took it");
        return;
    }
    if (w.size() < 4) throw Failure{"usage: mouse down|drag|up X Y [right] [headset]"};
    MouseWords(w, 4, &right, &headset);
    int status = w[1] == "down" ? xplm_MouseDown : w[1] == "drag" ? xplm_MouseDrag : w[1] == "up" ? xplm_MouseUp : 0;
    if (!status) throw Failure{"mouse down|drag|up X Y"};
    if (!SIM_MouseEx((int)Number(w[2]), (int)Number(w[3]), status, right, headset))
        Out("mouse " + w[1] + ": no window took it");
}

// One word of a dataref's type set: int, float, double, int[N], float[N] or byte[N] (N may be
// left out: the values given set the size).
XPLMDataTypeID DatarefType(const std::string& word, long* size) {
    static const struct {
        const char* name;
        XPLMDataTypeID type;
    } kTypes[] = {{"int", xplmType_Int},         {"float", xplmType_Float},         {"double", xplmType_Double},
                  {"int[", xplmType_IntArray}, {"float[", xplmType_FloatArray}, {"byte[", xplmType_Data}};
    for (const auto& t : kTypes) {
        const std::string name = t.name;
        if (name.back() != '[') {
            if (word == name) return t.type;
            continue;
        }
        if (word.compare(0, name.size(), name) != 0 || word.back() != ']') continue;
        std::string inner = word.substr(name.size(), word.size() - name.size() - 1);
        if (!inner.empty()) {
            long n = Number(inner);
            if (n < 0 || n > 65536) throw Failure{"dataref size out of range: " + word};
            if (*size >= 0 && *size != n) throw Failure{"dataref sizes differ: " + word};
            *size = n;
        }
        return t.type;
    }
    throw Failure{"dataref type int|float|double|int[N]|float[N]|byte[N], joined by +: " + word};
}

void Dataref(std::vector<std::string> w) {
    // dataref NAME TYPE[+TYPE...] VALUE... [read-only|writable] | dataref remove NAME
    static const char* kUsage =
        "dataref NAME TYPE[+TYPE...] VALUE... [read-only|writable] | dataref remove NAME";
    if (w.size() == 3 && w[1] == "remove") {
        SIM_RemoveDataref(w[2].c_str());
        return;
    }
    int writable = -1;
    if (w.size() > 3 && (w.back() == "read-only" || w.back() == "writable")) {
        writable = w.back() == "writable";
        w.pop_back();
    }
    if (w.size() < 3) throw Failure{std::string("usage: ") + kUsage};
    XPLMDataTypeID types = 0;
    long size = -1;
    std::string words = w[2] + "+";
    for (size_t start = 0, plus; (plus = words.find('+', start)) != std::string::npos; start = plus + 1)
        types |= DatarefType(words.substr(start, plus - start), &size);
    const XPLMDataTypeID scalars = types & (xplmType_Int | xplmType_Float | xplmType_Double);
    const XPLMDataTypeID arrays = types & (xplmType_IntArray | xplmType_FloatArray);
    if (!!scalars + !!arrays + !!(types & xplmType_Data) != 1)
        throw Failure{"dataref: scalar, array and byte types do not mix"};
    const std::string& name = w[1];
    if (scalars) {
        Need(w, 4, kUsage);
        SIM_SetDataref(name.c_str(), types, Real(w[3]));
    } else if (arrays) {
        std::vector<double> values;
        for (size_t i = 3; i < w.size(); ++i) values.push_back(Real(w[i]));
        if (size >= 0 && (long)values.size() > size) throw Failure{"dataref: more values than " + w[2] + " holds"};
        if (size >= 0) values.resize(size, 0.0);
        SIM_SetDatarefArray(name.c_str(), types, values.data(), (int)values.size());
    } else {
        // byte[N] TEXT: the text padded with zero bytes to N
        if (w.size() > 4) throw Failure{"dataref: one text for " + w[2]};
        std::string text = w.size() == 4 ? w[3] : std::string();
        if (size >= 0 && (long)text.size() > size) throw Failure{"dataref: text longer than " + w[2]};
        if (size >= 0) text.resize(size, '\0');
        SIM_SetDatarefBytes(name.c_str(), text.data(), (int)text.size());
    }
    if (writable >= 0) SIM_SetDatarefWritable(name.c_str(), writable);
}

int RunLines(const std::string& scenarioPath, const std::string& pictureFolder, int depth);
void Execute(const std::vector<std::string>& w, const std::string& pictureFolder, const std::string& scenarioPath,
             int depth);

// Real time passes with no frame run, as when the simulator is slow: the plug-ins' worker threads
// finish their work meanwhile. Messages sent to the main thread's windows are served.
void SleepRealTime(long ms) {
    const DWORD end = GetTickCount() + (DWORD)ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const long left = (long)(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)(left < 5 ? left : 5), QS_ALLINPUT);
    }
}

void Execute(const std::vector<std::string>& w, const std::string& pictureFolder, const std::string& scenarioPath,
             int depth) {
    const std::string& c = w[0];
    if (c == "include") {
        // include FILE: another scenario file, relative to this one
        Need(w, 2, "include FILE");
        if (depth > 8) throw Failure{"includes nested too deep"};
        std::string dir = scenarioPath.substr(0, scenarioPath.find_last_of("\\/") + 1);
        if (RunLines(dir + w[1], pictureFolder, depth + 1) != 0) throw Failure{"in " + w[1]};
    } else if (c == "echo") {
        std::string text;
        for (size_t i = 1; i < w.size(); ++i) text += (i > 1 ? " " : "") + w[i];
        Out(text);
    } else if (c == "screen") {
        Need(w, 3, "screen W H");
        SIM_SetScreenSize((int)Number(w[1]), (int)Number(w[2]));
    } else if (c == "frame-period") {
        Need(w, 2, "frame-period SECONDS");
        SIM_SetFramePeriod(Real(w[1]));
    } else if (c == "timers") {
        // timers concurrent|between-frames: how the plug-ins' timer callbacks run
        Need(w, 2, "timers concurrent|between-frames");
        if (w[1] != "concurrent" && w[1] != "between-frames") throw Failure{"timers concurrent|between-frames"};
        SetTimersConcurrent(w[1] == "concurrent");
    } else if (c == "frame-cost") {
        // frame-cost on|off: main-thread time of each plug-in per frame, counted afresh from on
        Need(w, 2, "frame-cost on|off");
        if (w[1] != "on" && w[1] != "off") throw Failure{"frame-cost on|off"};
        SIM_FrameCost(w[1] == "on");
    } else if (c == "frame-pace") {
        Need(w, 2, "frame-pace MS");
        long ms = Number(w[1]);
        if (ms < 0 || ms > 1000) throw Failure{"frame-pace: 0 to 1000 ms"};
        SetFramePace((DWORD)ms);
    } else if (c == "await-timer-run") {
        // Frames until a concurrent timer run has started (at most FRAMES, default 100000).
        if (w.size() > 2) throw Failure{"usage: await-timer-run [FRAMES]"};
        long limit = w.size() == 2 ? Number(w[1]) : 100000;
        long long before = TimerRunsStarted();
        long n = 0;
        while (TimerRunsStarted() == before) {
            if (n++ >= limit) throw Failure{"no timer run started within " + std::to_string(limit) + " frames"};
            SIM_RunFrames(1);
        }
    } else if (c == "await-timers-idle") {
        Need(w, 1, "await-timers-idle");
        WaitForTimerRuns();
    } else if (c == "timer-runs") {
        Need(w, 2, "timer-runs reset");
        if (w[1] != "reset") throw Failure{"timer-runs reset"};
        ResetTimerRuns();
    } else if (c == "wait-sent-message") {
        // Waits, serving nothing, until a message another thread sent waits for this thread.
        Need(w, 2, "wait-sent-message MS");
        long ms = Number(w[1]);
        DWORD start = GetTickCount();
        bool waiting = false;
        while (!(waiting = (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0) &&
               GetTickCount() - start < (DWORD)ms)
            Sleep(1);
        Out(waiting ? "a sent message waits" : "no sent message within " + w[1] + " ms");
    } else if (c == "timed") {
        // timed COMMAND...: the command's real duration
        if (w.size() < 2) throw Failure{"usage: timed COMMAND..."};
        std::vector<std::string> rest(w.begin() + 1, w.end());
        LARGE_INTEGER start, end, frequency;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        Execute(rest, pictureFolder, scenarioPath, depth);
        QueryPerformanceCounter(&end);
        char text[64];
        snprintf(text, sizeof text, "%.3f", double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart));
        Out("timed " + rest[0] + ": " + text + " ms");
    } else if (c == "repeat") {
        // repeat N FILE: another scenario file N times
        Need(w, 3, "repeat N FILE");
        long n = Number(w[1]);
        if (depth > 8) throw Failure{"includes nested too deep"};
        std::string dir = scenarioPath.substr(0, scenarioPath.find_last_of("\\/") + 1);
        for (long i = 0; i < n; ++i)
            if (RunLines(dir + w[2], pictureFolder, depth + 1) != 0)
                throw Failure{"in " + w[2] + ", round " + std::to_string(i + 1)};
    } else if (c == "quiet") {
        Need(w, 2, "quiet on|off");
        if (w[1] != "on" && w[1] != "off") throw Failure{"quiet on|off"};
        SetQuiet(w[1] == "on");
    } else if (c == "trace") {
        Need(w, 3, "trace WHAT on|off");
        SIM_Trace(w[1].c_str(), w[2] == "on");
    } else if (c == "dataref") {
        Dataref(w);
    } else if (c == "simulator-version") {
        // simulator-version N: XPLMGetVersions answers N; the datarefs of its published list
        Need(w, 2, "simulator-version N");
        char error[512] = "";
        if (!SIM_SetSimulatorVersion((int)Number(w[1]), error, sizeof error)) throw Failure{error};
    } else if (c == "command") {
        Need(w, 3, "command define|remove NAME");
        if (w[1] == "define") SIM_DefineCommand(w[2].c_str());
        else if (w[1] == "remove") SIM_RemoveCommand(w[2].c_str());
        else throw Failure{"command define|remove NAME"};
    } else if (c == "fake" || c == "answer") {
        std::string error;
        std::vector<std::string> args(w.begin() + 1, w.end());
        if (!(c == "fake" ? ConfigureFake(args, &error) : ConfigureAnswer(args, &error))) throw Failure{error};
    } else if (c == "registry") {
        Registry(w);
    } else if (c == "file") {
        FileCommand(w);
    } else if (c == "load") {
        LoadPlugins();
    } else if (c == "enable" || c == "disable") {
        RunPluginCommand(c, w);
        SettlePluginThreads();
    } else if (c == "frames") {
        Need(w, 2, "frames N");
        SIM_RunFrames((int)Number(w[1]));
        SettlePluginThreads();
    } else if (c == "seconds") {
        Need(w, 2, "seconds S");
        SIM_RunSeconds(Real(w[1]));
        SettlePluginThreads();
    } else if (c == "process") {
        if (w.size() != 2 || w[1] != "mark") throw Failure{"process mark"};
        MarkProcess();
    } else if (c == "sleep") {
        Need(w, 2, "sleep MS");
        long ms = Number(w[1]);
        if (ms < 0 || ms > 60000) throw Failure{"sleep: 0 to 60000 ms"};
        SleepRealTime(ms);
    } else if (c == "key") {
        Key(w);
        SettlePluginThreads();
    } else if (c == "keys") {
        Keys(w);
    } else if (c == "click" || c == "mouse") {
        Mouse(w);
        SettlePluginThreads();
    } else if (c == "menu") {
        Need(w, 2, "menu \"Plugins|...|Item\"");
        if (!SIM_PickMenuItem(w[1].c_str())) Out("menu " + Quote(w[1]) + ": no such item");
        SettlePluginThreads();
    } else if (c == "send") {
        // send MESSAGE [PLUGIN]: a message from the simulator
        if (w.size() != 2 && w.size() != 3) throw Failure{"usage: send MESSAGE [PLUGIN]"};
        int id = -1;
        if (w.size() == 3 && (id = PluginIdByName(w[2])) < 0) throw Failure{"no plug-in " + w[2]};
        SIM_SendMessage(id, (int)Number(w[1]), nullptr);
        SettlePluginThreads();
    } else if (c == "push" || c == "close") {
        Need(w, 2, "push|close DESCRIPTOR");
        std::string error;
        if (!(c == "push" ? PushWidget(w[1], &error) : CloseWidgetWindow(w[1], &error))) Out(c + ": " + error);
        SettlePluginThreads();
    } else if (c == "atc") {
        std::string error;
        if (!AtcCommand(w, &error)) throw Failure{error};
    } else if (c == "control") {
        // control PLUGIN WORDS...: a stand-in plug-in's own test-equipment commands
        if (w.size() < 3) throw Failure{"usage: control PLUGIN WORDS..."};
        std::string command;
        for (size_t i = 2; i < w.size(); ++i) command += (i > 2 ? " " : "") + w[i];
        std::string error;
        std::string reply = ControlPlugin(w[1], command, &error);
        if (!error.empty()) throw Failure{error};
        PrintLines("", reply);
    } else if (c == "print") {
        Print(w);
    } else if (c == "save-frame" || c == "save-headset") {
        Need(w, 2, "save-frame|save-headset NAME");
        SaveFramePicture(pictureFolder, w[1], c == "save-headset");
    } else if (c == "vr") {
        // vr on|off: the pilot puts the headset on or takes it off
        Need(w, 2, "vr on|off");
        if (w[1] != "on" && w[1] != "off") throw Failure{"vr on|off"};
        char error[256] = "";
        if (!SIM_SetVr(w[1] == "on", error, sizeof error)) throw Failure{error};
        SettlePluginThreads();
    } else if (c == "wheel") {
        // wheel X Y CLICKS [horizontal] [headset]
        if (w.size() < 4) throw Failure{"usage: wheel X Y CLICKS [horizontal] [headset]"};
        int axis = 0, headset = 0;
        for (size_t i = 4; i < w.size(); ++i) {
            if (w[i] == "horizontal") axis = 1;
            else if (w[i] == "headset") headset = 1;
            else throw Failure{"wheel: unknown word " + w[i]};
        }
        if (!SIM_Wheel((int)Number(w[1]), (int)Number(w[2]), axis, (int)Number(w[3]), headset))
            Out("wheel " + w[1] + "," + w[2] + ": no window took it");
        SettlePluginThreads();
    } else if (c == "cursor") {
        // cursor X Y [headset]: the cursor the windows under the point ask for
        if (w.size() != 3 && !(w.size() == 4 && w[3] == "headset")) throw Failure{"usage: cursor X Y [headset]"};
        int status = SIM_Cursor((int)Number(w[1]), (int)Number(w[2]), w.size() == 4);
        static const char* const kCursors[] = {"default", "hidden", "arrow", "custom"};
        Out("cursor " + w[1] + "," + w[2] + ": " +
            (status >= 0 && status <= 3 ? kCursors[status] : std::to_string(status)));
    } else {
        throw Failure{"unknown command " + c};
    }
}

// ${SIM} in a word stands for the simulator folder; ${NAME:-DEFAULT} for the environment
// variable NAME, or DEFAULT when it is not set (long runs of the same scenario).
void Substitute(std::vector<std::string>& words) {
    for (std::string& w : words) {
        size_t at;
        while ((at = w.find("${SIM}")) != std::string::npos) w.replace(at, 6, HostFolder());
        size_t from = 0;
        while ((at = w.find("${", from)) != std::string::npos) {
            size_t dash = w.find(":-", at), end = w.find('}', at);
            if (dash == std::string::npos || end == std::string::npos || dash > end) break;
            std::string name = w.substr(at + 2, dash - at - 2);
            std::string value = w.substr(dash + 2, end - dash - 2);
            char buffer[256];
            DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
            if (n > 0 && n < sizeof buffer) value = buffer;
            w.replace(at, end + 1 - at, value);
            from = at + value.size();
        }
    }
}

int RunLines(const std::string& scenarioPath, const std::string& pictureFolder, int depth) {
    std::ifstream in(scenarioPath);
    if (!in) {
        Out("cannot read scenario " + scenarioPath);
        return 2;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        try {
            std::vector<std::string> w = Words(line);
            if (w.empty()) continue;
            if (w[0] == "quit") break;
            Substitute(w);
            Execute(w, pictureFolder, scenarioPath, depth);
        } catch (const Failure& f) {
            SetQuiet(false);
            Out("scenario " + scenarioPath.substr(scenarioPath.find_last_of("\\/") + 1) + " line " +
                std::to_string(number) + ": " + f.message);
            return 2;
        }
    }
    return 0;
}

}  // namespace

int RunScenario(const std::string& scenarioPath, const std::string& pictureFolder) {
    return RunLines(scenarioPath, pictureFolder, 0);
}
