#pragma once
// The plug-in's log lines as the stand-in simulator reports them ("log TEXT" events), captured
// afresh for each test; the simulator's thread is the test's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "common/sim_control.h"

inline std::vector<std::string> g_logged;

inline void CaptureLogLine(const char* line) {
    std::string text = line;
    if (text.rfind("log ", 0) == 0) g_logged.push_back(text.substr(4));
}

class LogCapture : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(CaptureLogLine);
        SIM_Trace("log", 1);
        RememberSimulatorThread();
        FlushQueuedLog();
        g_logged.clear();
    }
    void TearDown() override { SIM_Trace("log", 0); }
};
