#pragma once
// The test plug-in that breaks the simulator's rules on request (tests/standin/misbehave), loaded,
// started and enabled for a test, and its control commands run as the host runs them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/sim_control.h"

class MisbehavePlugin {
protected:
    typedef int (*ControlFn)(const char*, char*, int);

    void StartMisbehave() {
        module_ = LoadLibraryA(MISBEHAVE_PLUGIN);
        ASSERT_NE(module_, nullptr) << MISBEHAVE_PLUGIN;
        id_ = SIM_StartPlugin(MISBEHAVE_PLUGIN, module_);
        ASSERT_GT(id_, 0);
        ASSERT_EQ(SIM_EnablePlugin(id_), 1);
        control_ = reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(module_, "StandInControl")));
        ASSERT_NE(control_, nullptr);
    }
    // As the host runs a control command: as the plug-in's callback.
    std::string Control(const char* command) {
        char out[512] = "";
        SIM_EnterPlugin(id_);
        control_(command, out, sizeof out);
        SIM_LeavePlugin();
        return out;
    }

    HMODULE module_ = nullptr;
    int id_ = 0;
    ControlFn control_ = nullptr;
};
