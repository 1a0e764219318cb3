// Test equipment's side of the order channel to QV3.exe.
#include "atc_channel.h"

#include <cstdio>
#include <cstring>

namespace atc {

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, the quote escaped.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

bool Channel::Start(const std::string& exe, const std::string& folder, const std::vector<std::string>& args,
                    DWORD timeoutMs, std::string* error) {
    Kill();
    std::string command = QuoteArgument(exe);
    for (const std::string& a : args) command += " " + QuoteArgument(a);
    // Standard streams on the null device: the program must not hold a test runner's pipes.
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE null = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (null != INVALID_HANDLE_VALUE) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = null;
    }
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    BOOL made = FALSE;
    DWORD code = 0;
    // Wine now and then refuses a start right after many quick starts and exits
    // (ERROR_INTERNAL_ERROR); a pause lets the next try through.
    for (int attempt = 0; attempt < 10 && !made; ++attempt) {
        if (attempt) Sleep(200);
        made = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &si, &pi);
        code = GetLastError();
        if (!made && code != ERROR_INTERNAL_ERROR) break;
    }
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    if (!made) {
        *error = "cannot start " + exe + " (error " + std::to_string(code) + ")";
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    exited_ = false;
    exitCode_ = 0;

    char name[64];
    DWORD start = GetTickCount();
    for (;;) {
        if (!mapping_) {
            snprintf(name, sizeof name, kReplyMappingFormat, (unsigned long)pid_);
            mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
            if (mapping_) reply_ = static_cast<const ReplyArea*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
        }
        if (reply_ && reply_->magic == kReplyMagic && reply_->ready) break;
        if (!Running()) {
            *error = "QV3.exe ended at start with exit code " + std::to_string(exitCode_);
            Release();
            return false;
        }
        if (GetTickCount() - start > timeoutMs) {
            *error = "QV3.exe made no form within " + std::to_string(timeoutMs) + " ms";
            Kill();
            return false;
        }
        Sleep(5);
    }
    MemoryBarrier();
    form_ = reinterpret_cast<HWND>(uintptr_t(reply_->form));
    snprintf(name, sizeof name, kDoneEventFormat, (unsigned long)pid_);
    done_ = OpenEventA(SYNCHRONIZE, FALSE, name);
    seq_ = reply_->doneSeq;
    return true;
}

bool Channel::Running() {
    if (!process_ || exited_) return false;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return true;
    exited_ = true;
    GetExitCodeProcess(process_, &exitCode_);
    return false;
}

bool Channel::Wait(HANDLE handle, uint32_t seq, DWORD timeoutMs, int* pumps) {
    DWORD start = GetTickCount();
    for (;;) {
        if (seq && reply_->doneSeq == seq) return true;
        if (!seq && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return true;
        if (seq && !Running()) return reply_->doneSeq == seq;
        // The program's exchanges with a server on this thread complete only when it is served.
        if (pump && (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) {
            pump();
            ++*pumps;
            continue;
        }
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        DWORD step = timeoutMs - spent < 20 ? timeoutMs - spent : 20;
        HANDLE handles[2];
        DWORD count = 0;
        if (handle) handles[count++] = handle;
        if (process_ && handle != process_) handles[count++] = process_;
        MsgWaitForMultipleObjects(count, handles, FALSE, step, pump ? QS_SENDMESSAGE : 0);
    }
}

intptr_t Channel::SendRaw(uintptr_t dwData, const void* data, DWORD size, DWORD timeoutMs) {
    if (!Running() || !form_) return -1;
    COPYDATASTRUCT cds = {dwData, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    // SMTO_BLOCK: our own thread serves nothing while the form takes the order; it only queues.
    if (!SendMessageTimeoutA(form_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_BLOCK, timeoutMs, &result))
        return -1;
    return intptr_t(result);
}

bool Channel::Run(Order code, const std::string& text, DWORD timeoutMs, Reply* reply, std::string* error) {
    if (!Running()) {
        *error = "QV3.exe is not running";
        return false;
    }
    if (text.size() > kOrderTextMax) {
        *error = "order text longer than " + std::to_string(kOrderTextMax) + " bytes";
        return false;
    }
    uint32_t seq = ++seq_;
    if (seq == 0) seq = ++seq_;
    std::vector<char> payload(sizeof(OrderHeader) + text.size());
    OrderHeader header{seq};
    memcpy(payload.data(), &header, sizeof header);
    memcpy(payload.data() + sizeof header, text.data(), text.size());
    intptr_t taken = SendRaw(kOrderTag | code, payload.data(), DWORD(payload.size()), timeoutMs);
    if (taken != kAccepted) {
        *error = taken == kMalformed   ? "QV3.exe refused the order as malformed"
                 : taken == kQueueFull ? "QV3.exe has too many orders queued"
                                       : "QV3.exe did not take the order within " + std::to_string(timeoutMs) + " ms";
        return false;
    }
    reply->pumps = 0;
    if (!Wait(done_, seq, timeoutMs, &reply->pumps)) {
        *error = Running() ? "QV3.exe did not finish the order within " + std::to_string(timeoutMs) + " ms"
                           : "QV3.exe ended before finishing the order";
        return false;
    }
    MemoryBarrier();
    uint32_t length = reply_->length < kReplyTextMax ? reply_->length : kReplyTextMax;
    reply->ok = reply_->status == 0;
    reply->exchanges = int(reply_->exchanges);
    reply->text.assign(reply_->text, length);
    return true;
}

bool Channel::WaitExit(DWORD timeoutMs) {
    if (!process_) return true;
    int pumps = 0;
    if (!Wait(process_, 0, timeoutMs, &pumps)) return false;
    Running();
    return true;
}

bool Channel::Close(DWORD timeoutMs) {
    if (!Running()) return false;
    PostMessageA(form_, WM_CLOSE, 0, 0);
    return WaitExit(timeoutMs);
}

void Channel::Kill() {
    if (!process_) return;
    if (Running()) {
        Reply reply;
        std::string ignored;
        Run(kOrderQuit, "", 2000, &reply, &ignored);
        if (!WaitExit(2000)) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 2000);
        }
        Running();
    }
    Release();
}

void Channel::Release() {
    if (reply_) UnmapViewOfFile(reply_);
    reply_ = nullptr;
    if (mapping_) CloseHandle(mapping_);
    mapping_ = nullptr;
    if (done_) CloseHandle(done_);
    done_ = nullptr;
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    form_ = nullptr;
    pid_ = 0;
}

}  // namespace atc
