// The message strip: text at 0x3380 shown for the seconds at 0x32FA in a window at
// (1, H-20, W, H-40), drawn from a buffer inside the plug-in's image, gone when the time is up.
#include <cstring>

#include "fixture.h"

namespace {

class Strip : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        SIM_SetFramePeriod(0.05);
    }
    // Sends the text (NUL-padded to 128 bytes) and then the time, as one batch.
    void Say(const std::string& text, int16_t seconds) {
        Client c;
        char block[128] = {};
        memcpy(block, text.data(), text.size() < 128 ? text.size() : 128);
        c.Write(0x3380, block, 128);
        c.Write(0x32FA, &seconds, 2);
        ASSERT_TRUE(c.Send());
    }
    // The live windows as "l,t,r,b visible" lines.
    static std::string Windows() {
        std::string out;
        for (int i = 0; i < SIM_WindowCount(); ++i) {
            int l, t, r, b, v;
            if (SIM_WindowInfo(i, &l, &t, &r, &b, &v))
                out += std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," +
                       std::to_string(b) + (v ? " visible\n" : " hidden\n");
        }
        return out;
    }
    static std::string Drawn() {
        std::string out;
        for (int i = 0; i < SIM_FrameItemCount(); ++i) {
            const SimDrawItem* item = SIM_FrameItem(i);
            char line[700];
            snprintf(line, sizeof line, "%d,%d rgb %.0f %.0f %.0f \"%s\"\n", item->left, item->top, item->rgb[0],
                     item->rgb[1], item->rgb[2], item->text);
            out += line;
        }
        return out;
    }
    // The text buffer's bytes in the loaded image, at the RVA the plug-in reports.
    std::string InImage(unsigned long long* rva = nullptr) {
        std::string reply = Control("text-buffer");
        unsigned long long at = 0;
        size_t x = reply.find("RVA 0x");
        EXPECT_NE(x, std::string::npos) << reply;
        if (x == std::string::npos) return "";
        at = strtoull(reply.c_str() + x + 6, nullptr, 16);
        if (rva) *rva = at;
        const char* p = reinterpret_cast<const char*>(module) + at;
        return std::string(p, strnlen(p, 129));
    }
};

TEST_F(Strip, AMessageShowsInTheStripUntilItsTimeIsUp) {
    Say("Loaded FP EDDF to EGLL", 5);
    EXPECT_EQ(Windows(), "");  // shown from the next frame's flight loop on
    SIM_RunFrames(1);
    double shownAt = SIM_Now();
    EXPECT_EQ(Windows(), "1,748,1024,728 visible\n");
    EXPECT_EQ(Drawn(), "9,734 rgb 1 1 1 \"Loaded FP EDDF to EGLL\"\n");
    EXPECT_EQ(InImage(), "Loaded FP EDDF to EGLL");
    EXPECT_NE(Control("message").find("\"Loaded FP EDDF to EGLL\" for 5 s"), std::string::npos);

    SIM_RunSeconds(shownAt + 4.9 - SIM_Now());
    EXPECT_EQ(Drawn(), "9,734 rgb 1 1 1 \"Loaded FP EDDF to EGLL\"\n");
    SIM_RunSeconds(0.1);
    EXPECT_EQ(Windows(), "");
    EXPECT_EQ(Drawn(), "");
    char loops[256];
    SIM_Describe("flightloops", loops, sizeof loops);
    // In our own name, every frame while enabled: the next message waits there.
    EXPECT_NE(std::string(loops).find("flightloop of XPUIPC refcon=0000000000000000 due in 1 frames"),
              std::string::npos)
        << loops;
    EXPECT_EQ(Control("message"), "message none, last text \"Loaded FP EDDF to EGLL\"\n");
}

TEST_F(Strip, NewTextReplacesTheShownOneAndRestartsTheTime) {
    SIM_SetScreenSize(1920, 1080);
    Say("first message", 2);
    SIM_RunSeconds(1.5);
    Say("second message", 2);
    SIM_RunFrames(1);
    EXPECT_EQ(Windows(), "1,1060,1920,1040 visible\n");  // the same window
    EXPECT_EQ(Drawn(), "9,1046 rgb 1 1 1 \"second message\"\n");
    SIM_RunSeconds(1.5);  // past the first message's end
    EXPECT_EQ(Drawn(), "9,1046 rgb 1 1 1 \"second message\"\n");
    SIM_RunSeconds(0.5);
    EXPECT_EQ(Windows(), "");
}

TEST_F(Strip, ZeroTimeOrEmptyTextTakesTheMessageDown) {
    Say("ComFreq 121.5", 10);
    SIM_RunFrames(1);
    EXPECT_NE(Windows(), "");
    Say("ComFreq 121.5", 0);
    SIM_RunFrames(1);
    EXPECT_EQ(Windows(), "");
    Say("", 10);
    SIM_RunFrames(1);
    EXPECT_EQ(Windows(), "");
    // The text alone shows nothing: the time's write triggers.
    Client c;
    c.Write(0x3380, "P.I.C. report", 14);
    ASSERT_TRUE(c.Send());
    SIM_RunFrames(2);
    EXPECT_EQ(Windows(), "");
}

TEST_F(Strip, A128CharacterTextIsDrawnWholeAndNoFurther) {
    std::string text(128, 'x');
    text.replace(0, 9, "Loaded FP");
    Control("write 0x3400 text OVERRUN");  // right after the 128-byte text in the table
    Say(text, 3);
    SIM_RunFrames(1);
    EXPECT_EQ(Drawn(), "9,734 rgb 1 1 1 \"" + text + "\"\n");
}

TEST_F(Strip, TheTextBufferSitsWhereTheRealServersBuildKeepsIt) {
    Say("Loaded ADV EDDM", 5);
    SIM_RunFrames(1);
    unsigned long long rva = 0;
    EXPECT_EQ(InImage(&rva), "Loaded ADV EDDM");
    EXPECT_EQ(rva, 0x4EBE0u);  // the default, where the plug-in under test looks first
    const char* first = reinterpret_cast<const char*>(module) + 0x4EBE0;

    Control("text-buffer second");
    EXPECT_EQ(InImage(&rva), "Loaded ADV EDDM");
    EXPECT_EQ(rva, 0xC1F60u);
    EXPECT_EQ(first[0], 0) << "the old place keeps no copy for a scan to find";
    EXPECT_EQ(Drawn(), "9,734 rgb 1 1 1 \"Loaded ADV EDDM\"\n");

    Control("text-buffer own");
    EXPECT_EQ(InImage(&rva), "Loaded ADV EDDM");
    EXPECT_NE(rva, 0xC1F60u);
    Control("text-buffer elsewhere", false);
    SIM_RunFrames(1);
    EXPECT_EQ(Drawn(), "9,734 rgb 1 1 1 \"Loaded ADV EDDM\"\n");
}

TEST_F(Strip, ADisabledServerShowsNothing) {
    // A server whose window serves from start to stop takes the message while disabled.
    Control("window-lifetime start-stop");
    SIM_DisablePlugin(id);
    Say("Loaded FP", 5);
    SIM_RunFrames(2);
    EXPECT_EQ(Windows(), "");
    SIM_EnablePlugin(id);
    Say("Loaded FP", 5);
    SIM_RunFrames(1);
    EXPECT_EQ(Windows(), "1,748,1024,728 visible\n");
    SIM_DisablePlugin(id);  // takes it down
    EXPECT_EQ(Windows(), "");
}

// The plug-in under test intercepts these in XPLM_64.dll: they must be imported, not resolved
// some other way.
TEST_F(Strip, WindowAndDrawingCallsGoThroughTheImportTable) {
    auto base = reinterpret_cast<const uint8_t*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::string names;
    for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "XPLM_64.dll")) continue;
        for (auto t = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk); t->u1.AddressOfData;
             ++t)
            names += std::string(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData)->Name) +
                     " ";
    }
    for (const char* f : {"XPLMCreateWindow ", "XPLMDestroyWindow ", "XPLMDrawString ", "XPLMGetScreenSize "})
        EXPECT_NE(names.find(f), std::string::npos) << f << "in " << names;
}

}  // namespace
