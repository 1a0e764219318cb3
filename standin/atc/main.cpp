// QV3.exe, the stand-in ATC program: a main form with a connect button, an FSUIPC-protocol client
// of the IPC server, hot keys from its QV3.ini, and orders from test equipment (atc_orders.h).
//
//   QV3.exe [--caption TEXT] [--poll MS|off] [--server CLASS] [--timeout MS] [--client 32|64]
//
// --poll: how often the hot-key slots are looked at while connected (default 200 ms; off: only
// on order). --server: the server window class (default UIPCMAIN). --timeout: the bound of one
// exchange with the server (default 5000 ms). --client 64: reads go as the FSUIPC library's
// 64-bit client sends them (id 4 records).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "atc_orders.h"
#include "hotkeys.h"
#include "ipc_link.h"

namespace {

using namespace atc;

const char kFormClass[] = "ThunderRT6FormDC";
const char kButtonClass[] = "ThunderRT6CommandButton";
const char kFrameClass[] = "ThunderRT6Frame";
const char kConnectCaption[] = "&Connect to FS";
const char kDisconnectCaption[] = "&Disconnect  from FS";
const char kWrongCaption[] = "&Disconnect from FS";
constexpr UINT kRunOrders = WM_APP + 1;
constexpr UINT_PTR kPollTimer = 1;
constexpr size_t kQueueMax = 16;
constexpr size_t kPressesKept = 64;
constexpr short kAnswerSeconds = 8;
// The FSUIPC client library's open: the server's version must be at least this, the high word of
// the 4 bytes at 0x3308 must be the marker, and the library writes its own version to 0x330A.
constexpr uint32_t kLowestServerVersion = 0x19980005;
constexpr uint32_t kMarker = 0xFADE;
constexpr uint16_t kLibraryVersion = 2002;

struct QueuedOrder {
    uint32_t code, seq;
    std::string text;
};
struct AnsweredPress {
    int hotkey, slot;
    uint32_t value;
    std::string answer;
};

// Program state: one main form on one thread.
HWND g_form = nullptr, g_button = nullptr, g_frame = nullptr;
bool g_buttonDisabled = false, g_buttonWrongCaption = false, g_buttonGrandchild = false;
bool g_connected = false;
std::string g_serverClass = "UIPCMAIN";
DWORD g_timeoutMs = 5000;
bool g_record64 = false;
UINT g_pollMs = 200;
int g_exitCode = kExitClosed;
std::string g_folder;  // of the executable, with a trailing backslash
IpcLink g_link;
HotkeySet g_hotkeys;
bool g_iniFound = false;
std::array<int, kHotkeys> g_slotOf;
int g_slotCount = 0;
uint32_t g_serverVersion = 0;
uint16_t g_simulatorCode = 0;
std::deque<QueuedOrder> g_orders;
bool g_runningOrder = false;
std::deque<AnsweredPress> g_presses;
int g_pressTotal = 0;
int g_exchanges = 0, g_failedExchanges = 0;
std::string g_lastError = "none";
ReplyArea* g_reply = nullptr;
HANDLE g_doneEvent = nullptr;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Hex(uint32_t value, int digits) {
    char text[16];
    snprintf(text, sizeof text, "0x%0*X", digits, unsigned(value));
    return text;
}

// ---- the connect button

void UpdateButton() {
    HWND parent = g_form;
    if (g_buttonGrandchild) {
        if (!g_frame)
            g_frame = CreateWindowExA(0, kFrameClass, "", WS_CHILD | WS_VISIBLE, 8, 8, 200, 60, g_form, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        parent = g_frame;
    }
    if (g_button && GetParent(g_button) != parent) {
        DestroyWindow(g_button);
        g_button = nullptr;
    }
    const char* caption = !g_connected ? kConnectCaption : g_buttonWrongCaption ? kWrongCaption : kDisconnectCaption;
    if (!g_button)
        g_button = CreateWindowExA(0, kButtonClass, caption, WS_CHILD | WS_VISIBLE, 16, 16, 160, 30, parent,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    else
        SetWindowTextA(g_button, caption);
    EnableWindow(g_button, !g_buttonDisabled);
    if (!g_buttonGrandchild && g_frame) {
        DestroyWindow(g_frame);
        g_frame = nullptr;
    }
}

std::string DescribeButton() {
    if (!g_button) return "button none";
    char caption[64] = "";
    GetWindowTextA(g_button, caption, sizeof caption);
    return "button " + Quoted(caption) + (IsWindowEnabled(g_button) ? " enabled" : " disabled") +
           (GetParent(g_button) == g_form ? " direct" : " grandchild");
}

// ---- the link

bool Exchange(std::string* error) {
    ++g_exchanges;
    if (g_link.Process(error)) return true;
    ++g_failedExchanges;
    g_lastError = *error;
    return false;
}

void WriteMessage(const std::string& text, short seconds) {
    char buffer[kMessageTextSize] = {};
    memcpy(buffer, text.data(), text.size() < kMessageTextSize - 1 ? text.size() : kMessageTextSize - 1);
    g_link.QueueWrite(kMessageText, kMessageTextSize, buffer);
    g_link.QueueWrite(kMessageTime, 2, &seconds);
}

// Reads the slot table; false when the exchange failed.
bool ReadSlots(std::array<uint32_t, kMaxSlots>* slots, std::string* error) {
    uint32_t count = 0;
    slots->fill(0);
    g_link.QueueRead(kSlotCountOffset, 4, &count);
    g_link.QueueRead(kSlotsOffset, 4 * kMaxSlots, slots->data());
    if (!Exchange(error)) return false;
    g_slotCount = count > kMaxSlots ? kMaxSlots : int(count);
    return true;
}

void QueueSlotWrites(const SlotReview& review) {
    for (const SlotWrite& w : review.writes) g_link.QueueWrite(kSlotsOffset + 4 * w.slot, 4, &w.value);
}

void RecordPresses(const SlotReview& review) {
    for (const SlotPress& p : review.presses) {
        std::string answer = PressAnswer(p.hotkey);
        WriteMessage(answer, kAnswerSeconds);
        g_presses.push_back({p.hotkey, p.slot, p.value, answer});
        if (g_presses.size() > kPressesKept) g_presses.pop_front();
        ++g_pressTotal;
    }
}

// One look at the slots: answers presses, keeps the keys registered.
bool Poll(std::string* error) {
    std::array<uint32_t, kMaxSlots> slots;
    if (!ReadSlots(&slots, error)) return false;
    SlotReview review = ReviewSlots(g_hotkeys, slots.data(), g_slotCount, &g_slotOf);
    if (review.writes.empty() && review.presses.empty()) return true;
    QueueSlotWrites(review);
    RecordPresses(review);
    return Exchange(error);
}

int RegisteredCount() {
    int n = 0;
    for (int s : g_slotOf) n += s >= 0;
    return n;
}

int ActiveUsableCount() {
    int n = 0;
    for (const Hotkey& k : g_hotkeys) n += k.active && k.usable;
    return n;
}

void LoadIni() { g_hotkeys = LoadHotkeys(g_folder + "QV3.ini", &g_iniFound); }

bool Connect(std::string* reply) {
    if (g_connected) {
        *reply = "already connected";
        return false;
    }
    std::string error;
    if (!g_link.Open(g_serverClass, g_timeoutMs, g_record64, &error)) {
        *reply = "cannot connect: " + error;
        g_lastError = error;
        return false;
    }
    LoadIni();
    g_slotOf.fill(-1);
    g_serverVersion = 0;
    g_simulatorCode = 0;
    // As the client library opens: both reads and its version's write in one batch, every time.
    uint32_t simulatorWord = 0;
    const uint16_t libraryVersion = kLibraryVersion;
    g_link.QueueRead(0x3304, 4, &g_serverVersion);
    g_link.QueueRead(0x3308, 4, &simulatorWord);
    g_link.QueueWrite(0x330A, 2, &libraryVersion);
    if (!Exchange(&error)) {
        g_link.Close();
        *reply = "cannot connect: " + error;
        return false;
    }
    g_simulatorCode = uint16_t(simulatorWord & 0xFFFF);
    if (g_serverVersion < kLowestServerVersion || (simulatorWord >> 16) != kMarker) {
        g_link.Close();
        g_lastError = "version check failed: server version " + Hex(g_serverVersion, 8) + ", 0x3308 reads " +
                      Hex(simulatorWord, 8);
        *reply = "cannot connect: " + g_lastError;
        return false;
    }
    std::array<uint32_t, kMaxSlots> slots;
    if (!ReadSlots(&slots, &error)) {
        g_link.Close();
        *reply = "cannot connect: " + error;
        return false;
    }
    SlotReview review = ReviewSlots(g_hotkeys, slots.data(), g_slotCount, &g_slotOf);
    QueueSlotWrites(review);
    std::string plan = LastFlightPlanName(g_folder + "QV3.ini");
    if (!plan.empty()) WriteMessage("Loaded FP " + plan, kAnswerSeconds);
    if ((!review.writes.empty() || !plan.empty()) && !Exchange(&error)) {
        g_link.Close();
        g_slotOf.fill(-1);
        *reply = "cannot connect: " + error;
        return false;
    }
    g_connected = true;
    UpdateButton();
    if (g_pollMs) SetTimer(g_form, kPollTimer, g_pollMs, nullptr);
    *reply = "connected to " + g_link.ServerClass() + ": server version " + Hex(g_serverVersion, 8) +
             ", simulator code " + std::to_string(g_simulatorCode) + ", " + std::to_string(g_slotCount) +
             " slots, " + std::to_string(RegisteredCount()) + " of " + std::to_string(ActiveUsableCount()) +
             " hot keys registered";
    return true;
}

// Without `tellServer` the link just goes (WM_CLOSE must not wait on the server).
void Disconnect(bool tellServer, std::string* note) {
    if (tellServer && g_link.IsOpen()) {
        uint32_t zero = 0;
        bool any = false;
        for (int s : g_slotOf)
            if (s >= 0) any = g_link.QueueWrite(kSlotsOffset + 4 * s, 4, &zero) || any;
        std::string error;
        if (any && !Exchange(&error)) *note = " (hot keys left registered: " + error + ")";
    }
    KillTimer(g_form, kPollTimer);
    g_link.Close();
    g_slotOf.fill(-1);
    g_connected = false;
    if (g_form) UpdateButton();
}

// ---- orders

std::string WeatherText(const uint8_t* bytes) {
    std::string out;
    for (uint32_t at = 0; at < kWeatherSize; at += 16) {
        char line[80];
        int n = snprintf(line, sizeof line, "%04X:", unsigned(kWeatherFirst + at));
        for (uint32_t i = at; i < at + 16 && i < kWeatherSize; ++i)
            n += snprintf(line + n, sizeof line - n, " %02X", bytes[i]);
        out += line;
        out += "\n";
    }
    return out;
}

std::string StateText() {
    char caption[128] = "";
    GetWindowTextA(g_form, caption, sizeof caption);
    int off = 0, unusable = 0;
    for (const Hotkey& k : g_hotkeys) {
        off += !k.active;
        unusable += k.active && !k.usable;
    }
    std::string out = std::string(g_connected ? "connected to " + g_link.ServerClass() : "not connected") +
                      (g_record64 ? " (64-bit client)" : "") + "\n";
    out += "caption " + Quoted(caption) + "\n";
    out += DescribeButton() + "\n";
    out += "ini " + std::string(g_iniFound ? "QV3.ini" : "none (defaults)") + ", hot keys: " +
           std::to_string(RegisteredCount()) + " registered, " + std::to_string(off) + " switched off, " +
           std::to_string(unusable) + " unusable\n";
    out += "presses answered " + std::to_string(g_pressTotal) + "\n";
    out += "last error " + g_lastError + "\n";
    return out;
}

std::string HotkeysText() {
    std::string out;
    for (int i = 0; i < kHotkeys; ++i) {
        const Hotkey& k = g_hotkeys[i];
        std::string line = "Hotkey" + std::to_string(i + 1) + " " + std::to_string(k.number);
        if (!k.usable) line += " unusable";
        else line += " key " + Hex(k.key, 2) + " modifiers " + std::to_string(k.modifiers);
        if (!k.active) line += " switched off";
        else if (g_slotOf[i] >= 0) line += " slot " + std::to_string(g_slotOf[i]);
        else if (k.usable) line += " no slot";
        out += line + "\n";
    }
    return out;
}

std::string PressesText() {
    std::string out = std::to_string(g_pressTotal) + " answered\n";
    for (const AnsweredPress& p : g_presses)
        out += "Hotkey" + std::to_string(p.hotkey + 1) + " slot " + std::to_string(p.slot) + " found " +
               Hex(p.value, 8) + " answered " + Quoted(p.answer) + "\n";
    return out;
}

bool NeedConnection(std::string* reply) {
    if (g_connected) return true;
    *reply = "not connected";
    return false;
}

bool SetButtonMode(const std::string& mode, std::string* reply) {
    if (mode == "normal") g_buttonDisabled = g_buttonWrongCaption = g_buttonGrandchild = false;
    else if (mode == "enabled") g_buttonDisabled = false;
    else if (mode == "disabled") g_buttonDisabled = true;
    else if (mode == "wrong-caption") g_buttonWrongCaption = true;
    else if (mode == "right-caption") g_buttonWrongCaption = false;
    else if (mode == "grandchild") g_buttonGrandchild = true;
    else if (mode == "direct") g_buttonGrandchild = false;
    else {
        *reply = "unknown button mode " + Quoted(mode);
        return false;
    }
    UpdateButton();
    *reply = DescribeButton();
    return true;
}

bool Say(const std::string& text, std::string* reply) {
    // "SECONDS TEXT"
    char* end = nullptr;
    long seconds = strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != ' ' || seconds < 0 || seconds > 32767) {
        *reply = "say needs SECONDS (0-32767) and a text";
        return false;
    }
    std::string message = end + 1;
    if (message.size() >= kMessageTextSize) {
        *reply = "text longer than " + std::to_string(kMessageTextSize - 1) + " characters";
        return false;
    }
    if (!NeedConnection(reply)) return false;
    WriteMessage(message, short(seconds));
    std::string error;
    if (!Exchange(&error)) {
        *reply = "say failed: " + error;
        return false;
    }
    *reply = "said " + Quoted(message) + " for " + std::to_string(seconds) + " s";
    return true;
}

bool Execute(const QueuedOrder& order, std::string* reply) {
    std::string error;
    switch (order.code) {
        case kOrderConnect: return Connect(reply);
        case kOrderDisconnect: {
            if (!NeedConnection(reply)) return false;
            std::string note;
            Disconnect(true, &note);
            *reply = "disconnected" + note;
            return true;
        }
        case kOrderSay: return Say(order.text, reply);
        case kOrderCaption:
            if (order.text.size() > 127) {
                *reply = "caption longer than 127 characters";
                return false;
            }
            SetWindowTextA(g_form, order.text.c_str());
            *reply = "caption " + Quoted(order.text);
            return true;
        case kOrderButton: return SetButtonMode(order.text, reply);
        case kOrderPoll:
            if (!NeedConnection(reply)) return false;
            if (!Poll(&error)) {
                *reply = "poll failed: " + error;
                return false;
            }
            *reply = std::to_string(g_pressTotal) + " presses answered in all";
            return true;
        case kOrderWeather: {
            if (!NeedConnection(reply)) return false;
            uint8_t bytes[kWeatherSize] = {};
            g_link.QueueRead(kWeatherFirst, kWeatherSize, bytes);
            if (!Exchange(&error)) {
                *reply = "weather read failed: " + error;
                return false;
            }
            *reply = WeatherText(bytes);
            return true;
        }
        case kOrderState: *reply = StateText(); return true;
        case kOrderPresses: *reply = PressesText(); return true;
        case kOrderHotkeys: *reply = HotkeysText(); return true;
        case kOrderQuit:
            *reply = "quitting";
            g_exitCode = kExitQuit;
            Disconnect(false, &error);
            PostMessageA(g_form, WM_CLOSE, 0, 0);
            return true;
    }
    *reply = "unknown order";
    return false;
}

void WriteReply(uint32_t seq, bool ok, const std::string& text, int exchanges) {
    if (!g_reply) return;
    size_t n = text.size() < kReplyTextMax ? text.size() : kReplyTextMax;
    memcpy(g_reply->text, text.data(), n);
    g_reply->length = uint32_t(n);
    g_reply->status = ok ? 0 : 1;
    g_reply->exchanges = uint32_t(exchanges);
    MemoryBarrier();
    g_reply->doneSeq = seq;
    SetEvent(g_doneEvent);
}

void RunOrders() {
    if (g_runningOrder) return;
    g_runningOrder = true;
    while (!g_orders.empty()) {
        QueuedOrder order = g_orders.front();
        g_orders.pop_front();
        std::string reply;
        int before = g_exchanges;
        bool ok = Execute(order, &reply);
        WriteReply(order.seq, ok, reply, g_exchanges - before);
    }
    g_runningOrder = false;
}

// Only queues: this also runs while an exchange with the server waits.
LRESULT TakeOrder(const COPYDATASTRUCT* data) {
    if (!data || (data->dwData & 0xFFFF0000u) != kOrderTag || data->cbData < sizeof(OrderHeader) ||
        data->cbData > sizeof(OrderHeader) + kOrderTextMax || !data->lpData)
        return kMalformed;
    uint32_t code = uint32_t(data->dwData & 0xFFFF);
    if (code < kOrderConnect || code > kOrderQuit) return kMalformed;
    if (g_orders.size() >= kQueueMax) return kQueueFull;
    OrderHeader header;
    memcpy(&header, data->lpData, sizeof header);
    const char* text = static_cast<const char*>(data->lpData) + sizeof header;
    std::string body(text, data->cbData - sizeof header);
    body.resize(strnlen(body.c_str(), body.size()));
    g_orders.push_back({code, header.seq, body});
    PostMessageA(g_form, kRunOrders, 0, 0);
    return kAccepted;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA: return TakeOrder(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case kRunOrders: RunOrders(); return 0;
        case WM_TIMER:
            if (wParam == kPollTimer && g_connected && !g_runningOrder) {
                std::string error;
                Poll(&error);
            }
            return 0;
        case WM_CLOSE: {
            std::string ignored;
            if (g_connected) Disconnect(false, &ignored);
            DestroyWindow(window);
            return 0;
        }
        case WM_DESTROY:
            g_form = nullptr;
            PostQuitMessage(g_exitCode);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSA form = {};
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.lpszClassName = kFormClass;
    WNDCLASSA child = {};
    child.lpfnWndProc = DefWindowProcA;
    child.hInstance = instance;
    child.lpszClassName = kButtonClass;
    WNDCLASSA frame = child;
    frame.lpszClassName = kFrameClass;
    return RegisterClassA(&form) && RegisterClassA(&child) && RegisterClassA(&frame);
}

bool MakeReplyArea() {
    char name[64];
    snprintf(name, sizeof name, kReplyMappingFormat, (unsigned long)GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ReplyArea), name);
    if (!mapping) return false;
    g_reply = static_cast<ReplyArea*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    snprintf(name, sizeof name, kDoneEventFormat, (unsigned long)GetCurrentProcessId());
    g_doneEvent = CreateEventA(nullptr, FALSE, FALSE, name);
    return g_reply && g_doneEvent;  // the mapping handle lives as long as the process
}

bool ParseArgs(int argc, char** argv, std::string* caption) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return false;
        std::string v = argv[++i];
        char* end = nullptr;
        if (a == "--caption") {
            *caption = v;
        } else if (a == "--server" && !v.empty()) {
            g_serverClass = v;
        } else if (a == "--poll") {
            unsigned long ms = v == "off" ? 0 : strtoul(v.c_str(), &end, 10);
            if (v != "off" && (v.empty() || *end || ms < 10 || ms > 60000)) return false;
            g_pollMs = UINT(ms);
        } else if (a == "--client" && (v == "32" || v == "64")) {
            g_record64 = v == "64";
        } else if (a == "--timeout") {
            unsigned long ms = strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || ms < 10 || ms > 60000) return false;
            g_timeoutMs = DWORD(ms);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::string caption = "    QV3 - Aeravox";
    if (!ParseArgs(__argc, __argv, &caption)) return kExitUsage;
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    g_folder = std::string(path, n);
    g_folder.erase(g_folder.find_last_of('\\') + 1);
    g_slotOf.fill(-1);
    LoadIni();

    if (!RegisterClasses(instance)) return kExitStartup;
    g_form = CreateWindowExA(0, kFormClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 420, 240,
                             nullptr, nullptr, instance, nullptr);
    if (!g_form) return kExitStartup;
    UpdateButton();
    if (!MakeReplyArea()) return kExitStartup;
    g_reply->magic = kReplyMagic;
    g_reply->form = uint64_t(uintptr_t(g_form));
    MemoryBarrier();
    g_reply->ready = 1;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
