// The frame cost: main-thread time of a plug-in's code, per frame, exclusive of code of no
// plug-in called from it being counted elsewhere, and nothing counted from other threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/sim_control.h"

namespace {

void Busy(int microseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < end) {
    }
}

std::string Describe() {
    char text[8192] = "";
    SIM_Describe("frame-cost", text, sizeof text);
    return text;
}

double Figure(const std::string& text, const std::string& key) {
    size_t at = text.find(key);
    return at == std::string::npos ? -1 : atof(text.c_str() + at + key.size());
}

TEST(FrameCost, CountsAPluginsMainThreadTimePerFrame) {
    SIM_Init(nullptr);
    HMODULE probe = LoadLibraryA(PROBE_PLUGIN);
    ASSERT_NE(probe, nullptr) << PROBE_PLUGIN;
    const int id = SIM_StartPlugin(PROBE_PLUGIN, probe);
    ASSERT_GT(id, 0);
    const void* probeCode = reinterpret_cast<const void*>(GetProcAddress(probe, "XPluginEnable"));
    const void* hostCode = reinterpret_cast<const void*>(&Busy);  // this program: no plug-in
    SIM_FrameCost(1);

    // Frame 1: 2 ms of the plug-in's own, and 1 ms in code of no plug-in that it called, which
    // counts for the plug-in too. On a loaded machine the section may take longer than 3 ms by
    // the wall clock; the count may then be higher, but never more than the section took.
    const auto sectionStart = std::chrono::steady_clock::now();
    SIM_CostBegin(probeCode, "widget");
    Busy(2000);
    SIM_CostBegin(hostCode, "library");
    Busy(1000);
    SIM_CostEnd();
    SIM_CostEnd();
    const double sectionUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sectionStart).count();
    SIM_RunFrames(1);
    // The same from another thread counts nothing: 20 ms there would show at once.
    std::thread worker([&] {
        SIM_CostBegin(probeCode, "widget");
        Busy(20000);
        SIM_CostEnd();
    });
    worker.join();
    SIM_RunFrames(99);

    std::string text = Describe();
    EXPECT_EQ(Figure(text, " frames "), 100) << text;
    EXPECT_GE(Figure(text, " max_us "), 3000) << text;
    EXPECT_LE(Figure(text, " max_us "), sectionUs + 1) << text;  // no time of the worker's
    EXPECT_LT(Figure(text, " p50_us "), 50) << text;           // idle frames count as nothing
    EXPECT_NE(text.find("worst frame 1: widget"), std::string::npos) << text;
    EXPECT_NE(text.find("frames over 100 us: 1, over 1 ms: 1"), std::string::npos) << text;

    // Time its threads' messages took the main thread counts in the frame, and is left out of the
    // plug-in's own figures.
    SIM_FrameCost(1);
    SIM_CostBegin(probeCode, "served message");
    Busy(1500);
    SIM_CostEnd();
    const auto drawStart = std::chrono::steady_clock::now();
    SIM_CostBegin(probeCode, "draw");
    Busy(200);
    SIM_CostEnd();
    const double drawUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - drawStart).count();
    SIM_RunFrames(1);
    text = Describe();
    EXPECT_GE(Figure(text, " max_us "), 1700) << text;
    EXPECT_GE(Figure(text, " own_max_us "), 200) << text;
    EXPECT_LE(Figure(text, " own_max_us "), drawUs + 1) << text;

    // Counting afresh forgets what was counted.
    SIM_FrameCost(1);
    SIM_RunFrames(1);
    EXPECT_EQ(Describe().find("max_us 3"), std::string::npos);
    SIM_FrameCost(0);
    SIM_StopPlugin(id);
}

}  // namespace
