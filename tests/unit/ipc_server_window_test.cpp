// Which window is the IPC server's: only the server plug-in's own, in this process, for the
// link's open and its healing alike; another library's or another program's "UIPCMAIN" never.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/log.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_server.h"

namespace {

const char kProbe[] = "Z:" SERVER_PROBE;
const char kOwner[] = "Z:" WINDOW_OWNER;

using MakeWindowFn = HWND (*)(const char*);

struct Library {
    explicit Library(const std::string& file) : path(file), module(LoadLibraryA(file.c_str())) {
        if (module)
            make = reinterpret_cast<MakeWindowFn>(reinterpret_cast<void*>(GetProcAddress(module, "ProbeMakeWindow")));
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
    std::string path;
    HMODULE module;
    MakeWindowFn make = nullptr;
};

// A second library of the same build under another name: another module.
std::string CopyOfProbe(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + name;
    CopyFileA(kProbe, path.c_str(), FALSE);
    return path;
}

HWND OpenedWindow() {
    IpcSession session;
    if (!IpcOpen().ok()) return nullptr;
    return IpcLinkNow().serverWindow;
}

class ServerWindow : public ::testing::Test {
protected:
    void SetUp() override { RememberSimulatorThread(); }
    void TearDown() override {
        {
            IpcSession session;
            IpcClose();
        }
        RememberIpcServerPath("");
    }
};

TEST_F(ServerWindow, TheServerPluginsOwnWindowAndNotAnotherLibrarysIsTakenAndHealed) {
    Library server(kProbe);
    Library other(CopyOfProbe("durar_not_a_plugin.dll"));
    ASSERT_TRUE(server.make && other.make);
    HWND serving = server.make("UIPCMAIN");
    // Made last, so found first among the windows of the class.
    HWND intruder = other.make("UIPCMAIN");
    ASSERT_TRUE(serving && intruder);
    RememberIpcServerPath(server.path);

    EXPECT_EQ(FindIpcServerWindow(), serving);
    EXPECT_EQ(OpenedWindow(), serving);
    // Both are candidates for a server at a path of its own; which one is a plug-in, the link's
    // start asks the simulator.
    const std::vector<std::string> paths = IpcServerWindowModulePaths();
    char serverFile[MAX_PATH], otherFile[MAX_PATH];
    GetModuleFileNameA(server.module, serverFile, MAX_PATH);
    GetModuleFileNameA(other.module, otherFile, MAX_PATH);
    ASSERT_EQ(paths.size(), 4u);  // each window's procedure and instance
    EXPECT_EQ(lstrcmpiA(paths[0].c_str(), otherFile), 0);
    EXPECT_EQ(lstrcmpiA(paths[2].c_str(), serverFile), 0);

    // The server is disabled (its window goes): healing does not take the other one.
    DestroyWindow(serving);
    {
        IpcSession session;
        EXPECT_TRUE(IpcServerGone());
        EXPECT_EQ(IpcReattach().code, IpcNoServerWindow);
    }
    // Enabled again: its new window is taken.
    HWND renewed = server.make("UIPCMAIN");
    {
        IpcSession session;
        EXPECT_EQ(IpcReattach().code, IpcOk);
        EXPECT_EQ(IpcLinkNow().serverWindow, renewed);
    }
    DestroyWindow(renewed);
    DestroyWindow(intruder);
}

TEST_F(ServerWindow, AnotherProgramsWindowIsNeverTaken) {
    Library server(kProbe);
    ASSERT_TRUE(server.make);
    // The same server library, loaded by another program that made its window.
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "durar_window_owner_ready");
    HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, "durar_window_owner_quit");
    std::string command =
        std::string("\"") + kOwner + "\" \"" + kProbe + "\" durar_window_owner_ready durar_window_owner_quit";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION owner = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &owner));
    ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    HWND foreign = FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr);
    ASSERT_NE(foreign, nullptr);

    RememberIpcServerPath(server.path);
    EXPECT_EQ(FindIpcServerWindow(), nullptr);
    EXPECT_EQ(OpenedWindow(), nullptr);
    EXPECT_TRUE(IpcServerWindowModulePaths().empty());
    // Nor when no server is known yet.
    RememberIpcServerPath("");
    EXPECT_EQ(FindIpcServerWindow(), nullptr);

    SetEvent(quit);
    WaitForSingleObject(owner.hProcess, 10000);
    CloseHandle(owner.hProcess);
    CloseHandle(owner.hThread);
    CloseHandle(ready);
    CloseHandle(quit);
}

}  // namespace
