// Finding the ATC program through the real registry and file system of the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <deque>
#include <string>
#include <vector>

#include "config/atc_locate.h"
#include "config_test_support.h"
#include "import_patch.h"

namespace {

const char* const kSetupNew =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1";
const char* const kSetupOldNative =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3A7E19B2-6C40-4D1F-8E25-90B7C4D2A611}_is1";
const char* const kPackage =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6E2F8D14-A395-4B7C-B0D2-71C9E58A3F03}";
const char* const kAllEntries[] = {
    kSetupNew,
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1",
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3A7E19B2-6C40-4D1F-8E25-90B7C4D2A611}_is1",
    kSetupOldNative,
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6E2F8D14-A395-4B7C-B0D2-71C9E58A3F03}",
    kPackage,
};

std::vector<std::string> g_calls;
std::deque<std::string> g_browseAnswers;  // "" = cancel

int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_calls.push_back(std::string("message ") + caption + (type == (MB_OK | MB_ICONINFORMATION) ? " info" : " other"));
    return IDOK;
}

BOOL WINAPI FakeOpenFile(LPOPENFILENAMEA dialog) {
    g_calls.push_back(std::string("browse ") + dialog->lpstrTitle);
    EXPECT_EQ(dialog->Flags, (DWORD)0x1800);
    EXPECT_STREQ(dialog->lpstrInitialDir, "C:\\");
    EXPECT_EQ(dialog->nMaxFile, 260u);
    std::string answer = g_browseAnswers.empty() ? "" : g_browseAnswers.front();
    if (!g_browseAnswers.empty()) g_browseAnswers.pop_front();
    if (answer.empty()) return FALSE;
    strcpy(dialog->lpstrFile, answer.c_str());
    return TRUE;
}

class Locate : public ::testing::Test {
protected:
    void SetUp() override {
        PatchOwnImport("user32.dll", "MessageBoxA", (void*)FakeMessageBox);
        PatchOwnImport("comdlg32.dll", "GetOpenFileNameA", (void*)FakeOpenFile);
        g_calls.clear();
        g_browseAnswers.clear();
        ClearRegistry();
        RemoveConfig();
        root = SimulatorFolder() + "\\atc-test";
    }
    void TearDown() override {
        ClearRegistry();
        RemoveConfig();
    }
    static void ClearRegistry() {
        for (const char* key : kAllEntries) RegDeleteTreeA(HKEY_LOCAL_MACHINE, key), RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    }
    static void SetValue(const char* entry, const char* name, const std::string& value) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, entry, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
        RegCloseKey(key);
    }
    std::string Exe(const std::string& relative) {
        std::string path = root + "\\" + relative;
        WriteTextFile(path, "");
        return path;
    }
    static std::string Located() {
        char* folder = LocateAtcProgram();
        if (!folder) return "(none)";
        std::string text = folder;
        HeapFree(GetProcessHeap(), 0, folder);
        return text;
    }
    std::string root;
};

TEST_F(Locate, SetupEntryGivesTheNewerEditionsFolder) {
    Exe("QV3\\QV3.exe");
    SetValue(kSetupNew, "Inno Setup: App Path", root + "\\QV3\\");
    EXPECT_EQ(Located(), root + "\\QV3\\");
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Locate, PackageEntryIsReadOnlyWithoutAnySetupEntry) {
    Exe("Pkg\\QVE\\QV_Station.exe");
    SetValue(kPackage, "InstallLocation", root + "\\Pkg");
    EXPECT_EQ(Located(), root + "\\Pkg\\QVE\\");
    // A setup entry whose executable is missing hides the package entry, and the configured
    // folder is then tested with the newer edition's name.
    SetValue(kSetupOldNative, "Inno Setup: App Path", root + "\\Missing");
    WriteConfig("[OPTIONS]\nQVEpath=" + root + "\\Pkg\\QVE\\\n");
    EXPECT_EQ(Located(), "(none)");
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Locate, ConfiguredFolderIsTestedUnlessItIsANetworkPath) {
    Exe("Station\\QV_Station.exe");
    WriteConfig("[OPTIONS]\nQVEpath=" + root + "\\Station\\\n");
    EXPECT_EQ(Located(), root + "\\Station\\");
    WriteConfig("[OPTIONS]\nQVEpath=" + root + "\\Gone\\\n");
    EXPECT_EQ(Located(), "(none)");
    WriteConfig("[OPTIONS]\nQVEpath=\\\\server\\share\\QVE\\\n");
    EXPECT_EQ(Located(), "\\\\server\\share\\QVE\\");
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Locate, OverlongValuesAreRefusedNotCut) {
    SetValue(kSetupNew, "Inno Setup: App Path", root + "\\" + std::string(300, 'a'));
    WriteConfig("[OPTIONS]\nQVEpath=" + root + "\\" + std::string(300, 'b') + "\\\n");
    EXPECT_EQ(Located(), "(none)");
}

TEST_F(Locate, TheUserIsAskedWhenNothingIsConfigured) {
    std::string picked = Exe("Picked\\qv_station.EXE");
    g_browseAnswers = {"", root + "\\QV3\\QV3.exe", picked};
    EXPECT_EQ(Located(), "(none)");  // cancelled
    EXPECT_EQ(Located(), "(none)");  // the newer edition's name is refused
    EXPECT_EQ(ReadOptionInt("QVEpath", -1), -1);
    EXPECT_EQ(Located(), root + "\\Picked\\");
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) {
        expected.push_back("message DURarUravud info");
        expected.push_back("browse Please provide path to Qvestation program file");
    }
    EXPECT_EQ(g_calls, expected);
    // Remembered: the next search finds it without asking.
    char remembered[300] = "";
    GetPrivateProfileStringA("OPTIONS", "QVEpath", "", remembered, sizeof remembered, ConfigFilePath().c_str());
    EXPECT_EQ(std::string(remembered), root + "\\Picked\\");
}

TEST_F(Locate, APickAtTheRootOfADriveGivesOneBackslash) {
    // Z: is the Unix root under Wine: a file there is a file at a drive's root.
    std::string file = "Z:\\QV_Station.exe";
    g_browseAnswers = {file};
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) GTEST_SKIP() << "cannot write at the drive's root";
    CloseHandle(h);
    EXPECT_EQ(Located(), "Z:\\");
    DeleteFileA(file.c_str());
}

}  // namespace
