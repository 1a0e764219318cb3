// References to another plug-in's module let go of by worker threads are given back on the
// simulator's thread only, however many let go at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "base/log.h"
#include "base/module_release.h"

namespace {

const char kProbe[] = "Z:" SERVER_PROBE;

bool ProbeLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kProbe, &module) != 0;
}

TEST(ModuleRelease, ManyWorkersLettingGoAtOnceLeaveTheModuleToTheSimulatorsThread) {
    RememberSimulatorThread();
    ReleaseHeldModules();
    constexpr int kWorkers = 40;
    std::vector<HMODULE> references;
    for (int i = 0; i < kWorkers; ++i) references.push_back(LoadLibraryA(kProbe));
    ASSERT_NE(references[0], nullptr);
    std::vector<std::thread> workers;
    for (HMODULE module : references) workers.emplace_back([module] { ReleaseModuleOnSimulatorThread(module); });
    for (std::thread& worker : workers) worker.join();
    // Every reference waits: none was dropped off the simulator's thread, none was lost.
    EXPECT_TRUE(ProbeLoaded());
    EXPECT_EQ(HeldModuleReferences(), kWorkers);
    // Off the simulator's thread nothing is given back.
    std::thread([] { ReleaseHeldModules(); }).join();
    EXPECT_EQ(HeldModuleReferences(), kWorkers);
    ReleaseHeldModules();
    EXPECT_EQ(HeldModuleReferences(), 0);
    EXPECT_FALSE(ProbeLoaded());
    // On the simulator's thread a reference goes at once.
    ReleaseModuleOnSimulatorThread(LoadLibraryA(kProbe));
    EXPECT_FALSE(ProbeLoaded());
}

}  // namespace
