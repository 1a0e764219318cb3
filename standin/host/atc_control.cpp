// Scenario commands for the stand-in ATC program (see atc_control.h).
#include "atc_control.h"

#include <sstream>

#include "atc/atc_channel.h"
#include "common/sim_control.h"
#include "host.h"

namespace {

constexpr DWORD kOrderTimeoutMs = 10000;
constexpr DWORD kStartTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 5000;

atc::Channel& Program() {
    static atc::Channel channel;
    return channel;
}
bool g_everStarted = false;
std::vector<std::string> g_lastStart;  // the words of the last start, for revive

std::string ExitText(DWORD code) {
    switch (code) {
        case atc::kExitClosed: return "exit code 0 (WM_CLOSE)";
        case atc::kExitQuit: return "exit code 10 (quit order)";
        case atc::kExitUsage: return "exit code 2 (bad command line)";
        case atc::kExitStartup: return "exit code 3 (start-up failure)";
        default: return "exit code " + std::to_string(code);
    }
}

// "not running" is an observation, not a scenario error: the plug-in may close the program.
bool ReportNotRunning(const std::string& verb) {
    if (Program().Running()) return false;
    Out("atc " + verb + ": not running" +
        (Program().Exited() ? ", " + ExitText(Program().ExitCode()) : std::string(g_everStarted ? "" : ", never started")));
    return true;
}

void PrintReply(const std::string& verb, const atc::Channel::Reply& reply) {
    std::istringstream in(reply.text);
    std::string line;
    bool any = false;
    while (std::getline(in, line)) {
        Out("atc " + verb + (reply.ok ? ": " : " failed: ") + line);
        any = true;
    }
    if (!any) Out("atc " + verb + (reply.ok ? ": done" : " failed"));
}

bool SendOrder(atc::Order code, const std::string& verb, const std::string& text, atc::Channel::Reply* reply,
               std::string* error) {
    if (!Program().Run(code, text, kOrderTimeoutMs, reply, error)) {
        *error = "atc " + verb + ": " + *error;
        return false;
    }
    // One frame per exchange: a frame's message pump may have served several of them.
    for (int n = reply->pumps; n < reply->exchanges; ++n) SIM_RunFrames(1);
    return true;
}

// Zero lines are left out; the feed's time stamp at 0xCC24 is real time and never stable.
void PrintWeather(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int zeroLines = 0;
    while (std::getline(in, line)) {
        if (line.size() < 5) continue;
        unsigned address = std::stoul(line.substr(0, 4), nullptr, 16);
        std::string bytes = line.substr(5);
        if (bytes.find_first_not_of(" 0") == std::string::npos) {
            ++zeroLines;
            continue;
        }
        for (unsigned a = 0xCC24; a < 0xCC28; ++a)
            if (a >= address && a < address + 16) bytes.replace(1 + 3 * (a - address), 2, "..");
        Out("atc weather: " + line.substr(0, 5) + bytes);
    }
    Out("atc weather: " + std::to_string(zeroLines) + " lines of zeros not shown");
}

bool SafeFolder(const std::string& folder) {
    return !folder.empty() && folder.find("..") == std::string::npos && folder.find(':') == std::string::npos &&
           folder[0] != '\\';
}

bool Start(const std::vector<std::string>& w, std::string* error) {
    // atc start [FOLDER] [caption TEXT] [poll MS|off] [client 32|64]
    std::string folder = "ATC\\QV3";
    std::vector<std::string> args;
    auto option = [](const std::string& word) { return word == "caption" || word == "poll" || word == "client"; };
    size_t i = 2;
    if (i < w.size() && !option(w[i])) folder = w[i++];
    for (; i < w.size(); i += 2) {
        if (i + 1 >= w.size() || !option(w[i])) {
            *error = "usage: atc start [FOLDER] [caption TEXT] [poll MS|off] [client 32|64]";
            return false;
        }
        args.push_back("--" + w[i]);
        args.push_back(w[i + 1]);
    }
    for (char& c : folder)
        if (c == '/') c = '\\';
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (!SafeFolder(folder)) {
        *error = "atc start: FOLDER must lie inside the simulator folder";
        return false;
    }
    if (Program().Running()) {
        *error = "atc start: QV3.exe is already running (atc stop first)";
        return false;
    }
    std::string source = HostFolder() + "\\Resources\\test-programs\\QV3\\QV3.exe";
    if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *error = "atc start: " + source + " is missing (not built?)";
        return false;
    }
    std::string target = HostFolder() + "\\" + folder;
    for (size_t at = HostFolder().size() + 1; at <= target.size(); ++at)
        if (at == target.size() || target[at] == '\\') CreateDirectoryA(target.substr(0, at).c_str(), nullptr);
    std::string exe = target + "\\QV3.exe";
    if (!CopyFileA(source.c_str(), exe.c_str(), FALSE)) {
        *error = "atc start: cannot copy QV3.exe into " + folder;
        return false;
    }
    g_everStarted = true;
    if (!Program().Start(exe, target, args, kStartTimeoutMs, error)) {
        *error = "atc start: " + *error;
        return false;
    }
    Out("atc started in " + folder);
    return true;
}

struct Verb {
    const char* word;
    atc::Order code;
    size_t minWords, maxWords;
};
const Verb kVerbs[] = {
    {"connect", atc::kOrderConnect, 2, 2}, {"disconnect", atc::kOrderDisconnect, 2, 2}, {"poll", atc::kOrderPoll, 2, 2},
    {"state", atc::kOrderState, 2, 2},     {"presses", atc::kOrderPresses, 2, 2},       {"hotkeys", atc::kOrderHotkeys, 2, 2},
    {"weather", atc::kOrderWeather, 2, 2}, {"say", atc::kOrderSay, 3, 4},               {"caption", atc::kOrderCaption, 3, 3},
    {"button", atc::kOrderButton, 3, 3},
};

}  // namespace

bool AtcCommand(const std::vector<std::string>& w, std::string* error) {
    Program().pump = [] { SIM_RunFrames(1); };
    if (w.size() < 2 || w[0] != "atc") {
        *error =
            "usage: atc start|revive|connect|disconnect|say|caption|button|poll|state|presses|hotkeys|weather|close|"
            "stop|wait-exit";
        return false;
    }
    const std::string& verb = w[1];
    if (verb == "start") {
        g_lastStart = w;
        return Start(w, error);
    }
    if (verb == "revive") {
        // Starts the program again as last started, unless it runs: loops that let the plug-in
        // close it now and then.
        if (w.size() != 2 || g_lastStart.empty()) {
            *error = "usage: atc revive (after an atc start)";
            return false;
        }
        if (Program().Running()) {
            Out("atc revive: running");
            return true;
        }
        return Start(g_lastStart, error);
    }
    if (verb == "wait-exit") {
        // atc wait-exit [MS]: the program's end, whether it came before or during the wait
        if (w.size() > 3) {
            *error = "usage: atc wait-exit [MS]";
            return false;
        }
        DWORD ms = kExitTimeoutMs;
        if (w.size() == 3) {
            char* end = nullptr;
            unsigned long value = strtoul(w[2].c_str(), &end, 10);
            if (w[2].empty() || *end || value > 600000) {
                *error = "atc wait-exit: MS must be 0 to 600000";
                return false;
            }
            ms = DWORD(value);
        }
        if (!g_everStarted) {
            Out("atc wait-exit: never started");
            return true;
        }
        if (Program().Running() && !Program().WaitExit(ms)) {
            Out("atc wait-exit: still running after " + std::to_string(ms) + " ms");
            return true;
        }
        Out(Program().Exited() ? "atc wait-exit: ended, " + ExitText(Program().ExitCode())
                               : std::string("atc wait-exit: ended"));
        return true;
    }
    if (verb == "close" || verb == "stop") {
        if (w.size() != 2) {
            *error = "usage: atc " + verb;
            return false;
        }
        if (ReportNotRunning(verb)) return true;
        bool ended = verb == "close" ? Program().Close(kExitTimeoutMs) : (Program().Kill(), true);
        if (!ended) {
            *error = "atc close: QV3.exe still runs " + std::to_string(kExitTimeoutMs / 1000) + " s after WM_CLOSE";
            return false;
        }
        Out("atc " + verb + ": ended, " + ExitText(Program().ExitCode()));
        return true;
    }
    for (const Verb& v : kVerbs) {
        if (verb != v.word) continue;
        if (w.size() < v.minWords || w.size() > v.maxWords) {
            *error = "usage: atc " + verb + (verb == "say" ? " TEXT [SECONDS]" : v.minWords > 2 ? " VALUE" : "");
            return false;
        }
        std::string text = w.size() > 2 ? w[2] : "";
        if (v.code == atc::kOrderSay) {
            std::string seconds = w.size() > 3 ? w[3] : "8";
            if (seconds.empty() || seconds.find_first_not_of("0123456789") != std::string::npos || seconds.size() > 5) {
                *error = "atc say: SECONDS must be a number 0-32767";
                return false;
            }
            text = seconds + " " + text;
        }
        if (ReportNotRunning(verb)) return true;
        atc::Channel::Reply reply;
        if (!SendOrder(v.code, verb, text, &reply, error)) return false;
        if (v.code == atc::kOrderWeather && reply.ok) PrintWeather(reply.text);
        else PrintReply(verb, reply);
        return true;
    }
    *error = "atc: unknown word " + verb;
    return false;
}

void AtcShutdown() {
    // No frames at the end: the program's pending exchange is served without advancing the clock.
    Program().pump = [] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    };
    Program().Kill();
}
