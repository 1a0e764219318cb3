// QV3.exe as a child process: its windows as the plug-in finds them, its FSUIPC client against a
// fake server, presses and answers, and orders good and bad.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "atc_channel.h"
#include "fake_server.h"

using namespace atc;

namespace {

const char kForm[] = "ThunderRT6FormDC";
const char kButton[] = "ThunderRT6CommandButton";
const char kConnected[] = "&Disconnect  from FS";
const char kDisconnected[] = "&Connect to FS";

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "atc-program-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(++counter);
        CreateDirectoryA(folder_.c_str(), nullptr);
        exe_ = folder_ + "\\QV3.exe";
        ASSERT_TRUE(CopyFileA(WindowsPath(ATC_EXE_PATH).c_str(), exe_.c_str(), FALSE)) << ATC_EXE_PATH;
        serverClass_ = "AtcTestServer" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override {
        program_.Kill();
        server_.reset();
        DeleteFileA(exe_.c_str());
        DeleteFileA((folder_ + "\\QV3.ini").c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    void WriteIni(const std::string& text) { std::ofstream(folder_ + "\\QV3.ini", std::ios::binary) << text; }

    // A fake server offering 56 slots, and the program started with `args` pointed at it.
    void StartWithServer(std::vector<std::string> args = {}) {
        server_.reset();  // one window of the class at a time
        server_.reset(new FakeServer(serverClass_));
        ASSERT_TRUE(server_->Ready());
        uint32_t count = 56;
        server_->Write(0x320C, &count, 4);
        Identify();
        args.push_back("--server");
        args.push_back(serverClass_);
        Start(args);
    }
    // What the client library's open checks: a version and the marker above the simulator code.
    void Identify(uint32_t version = 0x49290000, uint16_t marker = 0xFADE) {
        server_->Write(0x3304, &version, 4);
        server_->Write(0x330A, &marker, 2);
    }
    void Start(const std::vector<std::string>& args) {
        std::string error;
        ASSERT_TRUE(program_.Start(exe_, folder_, args, 10000, &error)) << error;
    }

    Channel::Reply Do(Order code, const std::string& text = "") {
        Channel::Reply reply;
        std::string error;
        EXPECT_TRUE(program_.Run(code, text, 10000, &reply, &error)) << error;
        return reply;
    }

    HWND FindForm(const char* caption) { return FindWindowExA(nullptr, nullptr, kForm, caption); }
    HWND DirectButton(const char* caption) { return FindWindowExA(program_.Form(), nullptr, kButton, caption); }

    std::string folder_, exe_, serverClass_;
    Channel program_;
    std::unique_ptr<FakeServer> server_;
};

}  // namespace

TEST_F(Program, FormAndButtonFollowTheConnection) {
    StartWithServer();
    EXPECT_EQ(FindForm("    QV3 - Aeravox"), program_.Form());
    HWND button = DirectButton(kDisconnected);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(DirectButton(kConnected), nullptr);

    Channel::Reply r = Do(kOrderConnect);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_NE(r.text.find("connected to " + serverClass_ + ": server version 0x49290000"), std::string::npos)
        << r.text;
    EXPECT_NE(r.text.find("21 of 21 hot keys registered"), std::string::npos) << r.text;
    HWND connected = DirectButton(kConnected);
    ASSERT_NE(connected, nullptr);
    EXPECT_TRUE(IsWindowEnabled(connected));
    EXPECT_EQ(DirectButton(kDisconnected), nullptr);
    EXPECT_FALSE(Do(kOrderConnect).ok) << "second connect";

    r = Do(kOrderDisconnect);
    EXPECT_TRUE(r.ok) << r.text;
    EXPECT_EQ(DirectButton(kConnected), nullptr);
    EXPECT_NE(DirectButton(kDisconnected), nullptr);
    for (int n = 0; n < 21; ++n) EXPECT_EQ(server_->Slot(n), 0u) << "slot " << n << " left registered";
    EXPECT_FALSE(Do(kOrderDisconnect).ok) << "disconnect while not connected";
}

TEST_F(Program, EveryCaptionOfTheListCanBeWornExactly) {
    Start({"--caption", "    QV3 - Aeravox - VCP Mode 2", "--server", "NoServerHere"});
    EXPECT_EQ(FindForm("    QV3 - Aeravox - VCP Mode 2"), program_.Form());
    EXPECT_EQ(FindForm("    QV3 - Aeravox"), nullptr);
    const char* captions[] = {"    QV3 - Aeravox - VCP Mode OFF", "    QV3 - Aeravox - VCP Mode 1",
                              "    QV3 - Aeravox - VCP Mode 3", "    QV Station", "QV Station",
                              "    QV3 - Aeravox"};
    for (const char* c : captions) {
        EXPECT_TRUE(Do(kOrderCaption, c).ok) << c;
        EXPECT_EQ(FindForm(c), program_.Form()) << '"' << c << '"';
    }
    EXPECT_FALSE(Do(kOrderCaption, std::string(200, 'x')).ok);
    EXPECT_EQ(FindForm("    QV3 - Aeravox"), program_.Form()) << "a refused caption changes nothing";
}

TEST_F(Program, ButtonFaultsForTheStrictnessOfTheFinder) {
    StartWithServer();
    ASSERT_TRUE(Do(kOrderConnect).ok);
    EXPECT_TRUE(Do(kOrderButton, "disabled").ok);
    ASSERT_NE(DirectButton(kConnected), nullptr);
    EXPECT_FALSE(IsWindowEnabled(DirectButton(kConnected)));
    EXPECT_TRUE(Do(kOrderButton, "enabled").ok);
    EXPECT_TRUE(IsWindowEnabled(DirectButton(kConnected)));

    Channel::Reply r = Do(kOrderButton, "wrong-caption");
    EXPECT_EQ(r.text, "button \"&Disconnect from FS\" enabled direct");
    EXPECT_EQ(DirectButton(kConnected), nullptr);
    EXPECT_NE(DirectButton("&Disconnect from FS"), nullptr);
    EXPECT_TRUE(Do(kOrderButton, "right-caption").ok);

    r = Do(kOrderButton, "grandchild");
    EXPECT_EQ(r.text, "button \"&Disconnect  from FS\" enabled grandchild");
    EXPECT_EQ(DirectButton(kConnected), nullptr);
    HWND frame = FindWindowExA(program_.Form(), nullptr, "ThunderRT6Frame", nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(FindWindowExA(frame, nullptr, kButton, kConnected), nullptr);
    EXPECT_TRUE(Do(kOrderButton, "direct").ok);
    EXPECT_NE(DirectButton(kConnected), nullptr);
    EXPECT_EQ(FindWindowExA(program_.Form(), nullptr, "ThunderRT6Frame", nullptr), nullptr);

    EXPECT_TRUE(Do(kOrderButton, "disabled").ok);
    EXPECT_TRUE(Do(kOrderButton, "grandchild").ok);
    EXPECT_TRUE(Do(kOrderButton, "normal").ok);
    EXPECT_TRUE(IsWindowEnabled(DirectButton(kConnected)));
    r = Do(kOrderButton, "sideways");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "unknown button mode \"sideways\"");
}

TEST_F(Program, WmCloseEndsItEvenWhenTheServerHangs) {
    StartWithServer({"--poll", "off"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    server_->SetMode(FakeServer::Mode::Silent, 3000);
    DWORD start = GetTickCount();
    EXPECT_TRUE(program_.Close(2000));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(program_.ExitCode(), DWORD(kExitClosed));
    EXPECT_EQ(FindForm("    QV3 - Aeravox"), nullptr);
    Channel::Reply r;
    std::string error;
    EXPECT_FALSE(program_.Run(kOrderState, "", 1000, &r, &error));
    EXPECT_EQ(error, "QV3.exe is not running");
}

TEST_F(Program, QuitOrderEndsWithItsOwnCode) {
    Start({"--server", "NoServerHere"});
    program_.Kill();
    EXPECT_TRUE(program_.Exited());
    EXPECT_EQ(program_.ExitCode(), DWORD(kExitQuit));
}

TEST_F(Program, BadCommandLineEndsAtOnce) {
    std::string error;
    EXPECT_FALSE(program_.Start(exe_, folder_, {"--poll", "5"}, 5000, &error));
    EXPECT_NE(error.find("exit code 2"), std::string::npos) << error;
    EXPECT_FALSE(program_.Start(exe_, folder_, {"--caption"}, 5000, &error));
    EXPECT_FALSE(program_.Start(folder_ + "\\Missing.exe", folder_, {}, 5000, &error));
    EXPECT_NE(error.find("cannot start"), std::string::npos) << error;
}

TEST_F(Program, IniHotkeysGoToFreeSlotsOfTheOfferedTable) {
    WriteIni(
        "[Hotkeys]\r\nHotkey1=1186\r\nHotkey2=2191\r\nHotkey3=96\r\nHotkey4=5065\r\n"
        "[HotkeysActive]\r\nHotkey1=1\r\nHotkey2=1\r\nHotkey3=1\r\nHotkey4=1\r\nHotkey13=1\r\n");
    server_.reset(new FakeServer(serverClass_));
    uint32_t count = 4, foreign = 0x0155;
    server_->Write(0x320C, &count, 4);
    server_->SetSlot(1, foreign);
    Identify();
    Start({"--server", serverClass_, "--poll", "off"});
    Channel::Reply r = Do(kOrderConnect);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_NE(r.text.find("4 slots, 3 of 4 hot keys registered"), std::string::npos) << r.text;
    EXPECT_EQ(server_->Slot(0), 0x01BAu) << "Shift + 186";
    EXPECT_EQ(server_->Slot(1), foreign) << "someone else's slot kept";
    EXPECT_EQ(server_->Slot(2), 0x02BFu) << "Ctrl + 191";
    EXPECT_EQ(server_->Slot(3), 0x0060u) << "numeric keypad 0";
    EXPECT_EQ(server_->Slot(4), 0u) << "beyond the offered count";
    r = Do(kOrderHotkeys);
    EXPECT_NE(r.text.find("Hotkey4 5065 unusable\n"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("Hotkey5 52 key 0x34 modifiers 0 switched off\n"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("Hotkey13 3082 key 0x52 modifiers 3 no slot\n"), std::string::npos) << r.text;
    EXPECT_NE(Do(kOrderState).text.find("ini QV3.ini, hot keys: 3 registered, 16 switched off, 1 unusable"),
              std::string::npos);
}

TEST_F(Program, EveryOpenChecksVersionAndMarkerAndLeavesItsLibraryVersion) {
    StartWithServer({"--poll", "off"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    uint16_t left = 0;
    server_->Read(0x330A, &left, 2);
    EXPECT_EQ(left, 2002);
    ASSERT_TRUE(Do(kOrderDisconnect).ok);
    // Its own open took the marker away: a server that only stores writes lets it in no more.
    Channel::Reply r = Do(kOrderConnect);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "cannot connect: version check failed: server version 0x49290000, 0x3308 reads 0x07D20000");
    EXPECT_NE(DirectButton(kDisconnected), nullptr);
    Identify();
    r = Do(kOrderConnect);
    EXPECT_TRUE(r.ok) << r.text;
    ASSERT_TRUE(Do(kOrderDisconnect).ok);

    Identify(0x19980004);
    r = Do(kOrderConnect);
    EXPECT_EQ(r.text, "cannot connect: version check failed: server version 0x19980004, 0x3308 reads 0xFADE0000");
    Identify(0x19980005);
    EXPECT_TRUE(Do(kOrderConnect).ok);
}

TEST_F(Program, ASixtyFourBitClientReadsWithItsOwnRecords) {
    StartWithServer({"--client", "64", "--poll", "off"});
    Channel::Reply r = Do(kOrderConnect);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_NE(r.text.find("server version 0x49290000"), std::string::npos) << r.text;
    EXPECT_EQ(server_->Slot(0), 0x30u);
    server_->SetSlot(1, 0x01000031);
    EXPECT_EQ(Do(kOrderPoll).text, "1 presses answered in all");
    EXPECT_EQ(server_->Slot(1), 0x31u);
    EXPECT_NE(Do(kOrderState).text.find("connected to " + serverClass_ + " (64-bit client)\n"), std::string::npos);
}

TEST_F(Program, GreetingNamesTheLastFlightPlan) {
    WriteIni("[Config]\r\nLastADV=C:\\QVE\\Plans\\EDDFEDDM.adv\r\n");
    StartWithServer({"--poll", "off"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    EXPECT_EQ(server_->MessageText(), "Loaded FP EDDFEDDM");
    EXPECT_EQ(server_->MessageTime(), 8);
    EXPECT_EQ(server_->Slot(0), 0u) << "ini without [HotkeysActive]: nothing registered";
}

TEST_F(Program, PressIsAnsweredOnOrderAndByItsOwnTimer) {
    StartWithServer({"--poll", "off"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    ASSERT_EQ(server_->Slot(1), 0x31u);
    server_->SetSlot(1, 0x01000031);  // as the plug-in marks a press of "1"
    Channel::Reply r = Do(kOrderPoll);
    EXPECT_EQ(r.text, "1 presses answered in all");
    EXPECT_EQ(server_->Slot(1), 0x31u) << "pressed flag cleared";
    EXPECT_EQ(server_->MessageText(), "P.I.C: Option 1 (Hotkey2)");
    EXPECT_EQ(server_->MessageTime(), 8);
    std::vector<uint32_t> written = server_->WrittenOffsets();
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written.back(), 0x32FAu) << "display time written after the text";
    EXPECT_EQ(written[written.size() - 2], 0x3380u);
    EXPECT_EQ(Do(kOrderPoll).text, "1 presses answered in all") << "a press is answered once";
    EXPECT_EQ(Do(kOrderPresses).text,
              "1 answered\nHotkey2 slot 1 found 0x01000031 answered \"P.I.C: Option 1 (Hotkey2)\"\n");

    program_.Kill();
    StartWithServer({"--poll", "50"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    server_->SetSlot(12, 0x0100032B);
    DWORD start = GetTickCount();
    while (server_->Slot(12) != 0x0352u && GetTickCount() - start < 3000) Sleep(10);
    EXPECT_EQ(server_->Slot(12), 0x0352u) << "Ctrl+Shift+R back in its slot";
    EXPECT_EQ(server_->MessageText(), "P.I.C: Say Again (Hotkey13)");
}

TEST_F(Program, LostSlotsAreTakenAgain) {
    StartWithServer({"--poll", "off"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    server_->SetSlot(5, 0);        // the plug-in clears slots while it thinks we are away
    server_->SetSlot(6, 0x0177);   // someone else took one
    EXPECT_TRUE(Do(kOrderPoll).ok);
    EXPECT_EQ(server_->Slot(5), 0x35u);
    EXPECT_EQ(server_->Slot(6), 0x0177u);
    EXPECT_EQ(server_->Slot(21), 0x36u);
}

TEST_F(Program, SayWritesTextThenTimeAndRefusesBadInput) {
    StartWithServer({"--poll", "off"});
    EXPECT_EQ(Do(kOrderSay, "5 hello").text, "not connected");
    ASSERT_TRUE(Do(kOrderConnect).ok);
    Channel::Reply r = Do(kOrderSay, "12 Loaded FP EDDF to EDDM");
    EXPECT_TRUE(r.ok) << r.text;
    EXPECT_EQ(server_->MessageText(), "Loaded FP EDDF to EDDM");
    EXPECT_EQ(server_->MessageTime(), 12);
    char raw[128];
    server_->Read(0x3380, raw, 128);
    for (int i = 22; i < 128; ++i) ASSERT_EQ(raw[i], 0) << "NUL padding at " << i;

    EXPECT_TRUE(Do(kOrderSay, "0 " + std::string(127, 'y')).ok);
    EXPECT_EQ(server_->MessageText(), std::string(127, 'y'));
    for (const char* bad : {"x hello", "-1 hello", "40000 hello", "5", ""}) {
        r = Do(kOrderSay, bad);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_EQ(r.text, "say needs SECONDS (0-32767) and a text") << bad;
    }
    r = Do(kOrderSay, "5 " + std::string(128, 'z'));
    EXPECT_EQ(r.text, "text longer than 127 characters");
    EXPECT_EQ(server_->MessageText(), std::string(127, 'y')) << "refused texts are not written";
}

TEST_F(Program, WeatherAreaIsReadBackWhole) {
    StartWithServer({"--poll", "off"});
    EXPECT_FALSE(Do(kOrderWeather).ok);
    ASSERT_TRUE(Do(kOrderConnect).ok);
    server_->Write(0xCC08, "GLOB", 4);
    uint8_t hour[2] = {1, 7};
    server_->Write(0xCF80, hour, 2);
    server_->Write(0xCF86, "X", 1);  // just past the area
    Channel::Reply r = Do(kOrderWeather);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_EQ(r.text.substr(0, 54), "CC08: 47 4C 4F 42 00 00 00 00 00 00 00 00 00 00 00 00\n");
    EXPECT_NE(r.text.find("CF78: 00 00 00 00 00 00 00 00 01 07 00 00 00 00\n"), std::string::npos) << r.text;
    EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), 56);
}

TEST_F(Program, MissingRefusingOrSilentServerFailsCleanly) {
    Start({"--server", "NoServerAtAll", "--timeout", "300", "--poll", "off"});
    Channel::Reply r = Do(kOrderConnect);
    EXPECT_FALSE(r.ok);
    // FS98MAIN is the fallback; whether one exists on this desktop or not, nothing is served.
    EXPECT_EQ(r.text.find("cannot connect: "), 0u) << r.text;
    EXPECT_NE(DirectButton(kDisconnected), nullptr);
    program_.Kill();

    StartWithServer({"--timeout", "300", "--poll", "off"});
    server_->SetMode(FakeServer::Mode::Refuse);
    r = Do(kOrderConnect);
    EXPECT_EQ(r.text, "cannot connect: server refused the batch");
    EXPECT_NE(DirectButton(kDisconnected), nullptr);

    server_->SetMode(FakeServer::Mode::Silent, 800);
    DWORD start = GetTickCount();
    r = Do(kOrderConnect);
    EXPECT_EQ(r.text, "cannot connect: server did not answer within 300 ms");
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_NE(Do(kOrderState).text.find("not connected\n"), std::string::npos);

    // After a time-out the late answer must not disturb the next, served, connection.
    Sleep(900);
    server_->SetMode(FakeServer::Mode::Serve);
    r = Do(kOrderConnect);
    EXPECT_TRUE(r.ok) << r.text;
}

TEST_F(Program, MalformedOrdersAreRefusedAndTheProgramCarriesOn) {
    Start({"--server", "NoServerHere"});
    OrderHeader header{77};
    EXPECT_EQ(program_.SendRaw(0x12340008, &header, sizeof header, 5000), kMalformed) << "wrong tag";
    EXPECT_EQ(program_.SendRaw(kOrderTag | 0, &header, sizeof header, 5000), kMalformed) << "code 0";
    EXPECT_EQ(program_.SendRaw(kOrderTag | 99, &header, sizeof header, 5000), kMalformed) << "code 99";
    EXPECT_EQ(program_.SendRaw(kOrderTag | kOrderState, &header, 2, 5000), kMalformed) << "short";
    EXPECT_EQ(program_.SendRaw(kOrderTag | kOrderState, nullptr, 0, 5000), kMalformed) << "empty";
    std::vector<char> big(sizeof header + kOrderTextMax + 1, 'a');
    EXPECT_EQ(program_.SendRaw(kOrderTag | kOrderCaption, big.data(), DWORD(big.size()), 5000), kMalformed);

    // A caption with an embedded NUL is taken up to the NUL.
    char withNul[] = {0, 0, 0, 0, 'Q', 'V', 0, 'x'};
    EXPECT_EQ(program_.SendRaw(kOrderTag | kOrderCaption, withNul, sizeof withNul, 5000), kAccepted);
    Channel::Reply r;
    std::string error;
    EXPECT_FALSE(program_.Run(kOrderCaption, std::string(kOrderTextMax + 1, 'b'), 5000, &r, &error));
    EXPECT_EQ(error, "order text longer than 1024 bytes");
    r = Do(kOrderState);
    EXPECT_TRUE(r.ok);
    EXPECT_NE(r.text.find("caption \"QV\"\n"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("not connected\n"), std::string::npos) << r.text;
}

TEST_F(Program, ServerOnTheWaitingThreadIsServedOnlyThroughThePump) {
    server_.reset(new FakeServer(serverClass_, true));
    ASSERT_TRUE(server_->Ready());
    uint32_t count = 56;
    server_->Write(0x320C, &count, 4);
    Identify();
    Start({"--server", serverClass_, "--timeout", "500", "--poll", "off"});

    // Nobody serves this thread's window while the channel waits: the exchange times out.
    Channel::Reply r = Do(kOrderConnect);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "cannot connect: server did not answer within 500 ms");
    EXPECT_EQ(r.pumps, 0);

    int served = 0;
    program_.pump = [&served] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ++served;
    };
    r = Do(kOrderConnect);
    EXPECT_TRUE(r.ok) << r.text;
    EXPECT_EQ(r.exchanges, 3) << "handshake, slot table, registrations";
    EXPECT_GE(r.pumps, 1);
    EXPECT_LE(r.pumps, 4) << "at most one more for the late message of the timed-out try";
    EXPECT_EQ(server_->Slot(0), 0x30u);
    r = Do(kOrderSay, "3 ComFreq 118.500");
    EXPECT_EQ(r.exchanges, 1);
    EXPECT_EQ(Do(kOrderState).exchanges, 0);
    EXPECT_EQ(server_->MessageText(), "ComFreq 118.500");
    EXPECT_GE(served, 2);
}

TEST_F(Program, OrdersAreTakenWhileAnExchangeWaits) {
    StartWithServer({"--poll", "50", "--timeout", "1500"});
    ASSERT_TRUE(Do(kOrderConnect).ok);
    server_->SetMode(FakeServer::Mode::Silent, 1600);
    int before = server_->Batches();
    while (server_->Batches() == before) Sleep(5);  // a poll now waits on the server
    OrderHeader header{program_.Running() ? 1000u : 0u};
    DWORD start = GetTickCount();
    EXPECT_EQ(program_.SendRaw(kOrderTag | kOrderState, &header, sizeof header, 500), kAccepted);
    EXPECT_LT(GetTickCount() - start, 500u);
    server_->SetMode(FakeServer::Mode::Serve);
    Channel::Reply r = Do(kOrderState);
    EXPECT_NE(r.text.find("connected to "), std::string::npos) << "a timed-out poll keeps the connection";
}
