// The rest of the simulator API in the stand-in: flight-loop objects, drawing phases, command
// handlers, plug-in datarefs, the FMS, aircraft, files, coordinates, the camera, and the misuses
// each area counts.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "XPLMCamera.h"
#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMNavigation.h"
#include "XPLMPlanes.h"
#include "XPLMProcessing.h"
#include "XPLMScenery.h"
#include "XPLMUtilities.h"
#include "common/sim_control.h"

namespace {

std::vector<std::string> g_trail;
void Sink(const char*) {}

class SdkArea : public ::testing::Test {
protected:
    void SetUp() override {
        g_trail.clear();
        SIM_Init(Sink);
        SIM_SetFramePeriod(0.05);
    }
};

// ---- flight loops made as objects

struct Loop {
    XPLMFlightLoopID id = nullptr;
    std::string name;
    float next = 0;
    bool destroySelf = false;
    int calls = 0;
};

float LoopFn(float, float, int, void* refcon) {
    Loop* loop = static_cast<Loop*>(refcon);
    loop->calls++;
    g_trail.push_back(loop->name);
    if (loop->destroySelf) XPLMDestroyFlightLoop(loop->id);
    return loop->next;
}

float OldLoopFn(float, float, int, void*) {
    g_trail.push_back("old");
    return -1.0f;
}

XPLMFlightLoopID Make(Loop& loop, XPLMFlightLoopPhaseType phase) {
    XPLMCreateFlightLoop_t params = {sizeof params, phase, LoopFn, &loop};
    return loop.id = XPLMCreateFlightLoop(&params);
}

TEST_F(SdkArea, FlightLoopObjectsStartUnscheduledAndRunBeforeOrAfterTheFlightModel) {
    Loop before, after;
    before.name = "before";
    after.name = "after";
    before.next = after.next = -1.0f;
    XPLMRegisterFlightLoopCallback(OldLoopFn, -1.0f, nullptr);
    ASSERT_NE(Make(after, xplm_FlightLoop_Phase_AfterFlightModel), nullptr);
    ASSERT_NE(Make(before, xplm_FlightLoop_Phase_BeforeFlightModel), nullptr);
    SIM_RunFrames(3);
    EXPECT_EQ(before.calls + after.calls, 0);  // made, never scheduled
    XPLMScheduleFlightLoop(after.id, -1.0f, 1);
    XPLMScheduleFlightLoop(before.id, -1.0f, 1);
    g_trail.clear();
    SIM_RunFrames(1);
    // The loop that asked for the early phase runs first, though made last.
    EXPECT_EQ(g_trail, (std::vector<std::string>{"before", "old", "after"}));
    // The older call with the same function and refcon never touches a loop made by handle.
    XPLMUnregisterFlightLoopCallback(LoopFn, &after);
    SIM_RunFrames(1);
    EXPECT_EQ(after.calls, 2);
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(SdkArea, FlightLoopHandlesDestroyedOrUnknownAreMisuses) {
    Loop self;
    self.name = "self";
    self.next = -1.0f;
    self.destroySelf = true;
    Make(self, xplm_FlightLoop_Phase_AfterFlightModel);
    XPLMScheduleFlightLoop(self.id, 0.1f, 1);
    SIM_RunSeconds(1.0);
    EXPECT_EQ(self.calls, 1);  // destroyed from inside its own call: never again
    EXPECT_EQ(SIM_Misuses(), 0);
    XPLMScheduleFlightLoop(self.id, 1.0f, 1);
    EXPECT_EQ(SIM_Misuses(), 1);
    EXPECT_NE(std::string(SIM_FirstMisuse()).find("destroyed flight loop"), std::string::npos);
    XPLMDestroyFlightLoop(reinterpret_cast<XPLMFlightLoopID>(0x1234));
    XPLMDestroyFlightLoop(nullptr);
    EXPECT_EQ(SIM_Misuses(), 3);
    XPLMCreateFlightLoop_t tooSmall = {4, xplm_FlightLoop_Phase_AfterFlightModel, LoopFn, nullptr};
    EXPECT_EQ(XPLMCreateFlightLoop(&tooSmall), nullptr);
    EXPECT_EQ(SIM_Misuses(), 4);
}

TEST_F(SdkArea, ScheduleRelativeToTheLastCallOrToNow) {
    Loop loop;
    loop.name = "l";
    Make(loop, xplm_FlightLoop_Phase_AfterFlightModel);
    XPLMScheduleFlightLoop(loop.id, 1.0f, 1);
    SIM_RunSeconds(1.0);
    ASSERT_EQ(loop.calls, 1);
    SIM_RunSeconds(0.5);
    XPLMScheduleFlightLoop(loop.id, 1.0f, 0);  // a second after the last call: 0.5 s from now
    SIM_RunSeconds(0.5);
    EXPECT_EQ(loop.calls, 2);
    XPLMScheduleFlightLoop(loop.id, 1.0f, 1);
    SIM_RunSeconds(0.9);
    EXPECT_EQ(loop.calls, 2);
    SIM_RunSeconds(0.1);
    EXPECT_EQ(loop.calls, 3);
}

// ---- drawing phases

int DrawFn(XPLMDrawingPhase phase, int before, void* refcon) {
    g_trail.push_back(std::to_string(phase) + (before ? "b" : "a"));
    if (refcon) XPLMUnregisterDrawCallback(DrawFn, phase, before, refcon);
    return 1;
}

int DrawAircraftFn(XPLMDrawingPhase, int, void*) {
    XPLMDrawAircraft(XPLM_USER_AIRCRAFT, 0, 0, 0, 0, 0, 0, 1, nullptr);
    return 1;
}

TEST_F(SdkArea, DrawCallbacksRunInPhaseOrderAndMayLeaveFromInside) {
    static int once;
    EXPECT_EQ(XPLMRegisterDrawCallback(DrawFn, xplm_Phase_Window, 0, nullptr), 1);
    EXPECT_EQ(XPLMRegisterDrawCallback(DrawFn, xplm_Phase_Window, 1, nullptr), 1);
    EXPECT_EQ(XPLMRegisterDrawCallback(DrawFn, xplm_Phase_Objects, 1, &once), 1);
    EXPECT_EQ(XPLMRegisterDrawCallback(DrawFn, xplm_Phase_LastCockpit, 0, nullptr), 1);
    EXPECT_EQ(XPLMRegisterDrawCallback(DrawFn, 7, 0, nullptr), 0);  // no such phase
    SIM_RunFrames(1);
    EXPECT_EQ(g_trail, (std::vector<std::string>{"20b", "50b", "50a", "55a"}));
    g_trail.clear();
    SIM_RunFrames(1);
    EXPECT_EQ(g_trail, (std::vector<std::string>{"50b", "50a", "55a"}));
    EXPECT_EQ(XPLMUnregisterDrawCallback(DrawFn, xplm_Phase_Objects, 1, &once), 0);  // already gone
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(SdkArea, SceneDrawingOnlyFromSceneCallbacks) {
    XPLMRegisterDrawCallback(DrawAircraftFn, xplm_Phase_Airplanes, 0, nullptr);
    SIM_RunFrames(2);
    EXPECT_EQ(SIM_Misuses(), 0);
    XPLMDrawAircraft(XPLM_USER_AIRCRAFT, 0, 0, 0, 0, 0, 0, 1, nullptr);
    XPLMUnregisterDrawCallback(DrawAircraftFn, xplm_Phase_Airplanes, 0, nullptr);
    XPLMRegisterDrawCallback(DrawAircraftFn, xplm_Phase_Window, 0, nullptr);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_Misuses(), 2);
}

// ---- command handlers

int g_blockBegin = 0;
int Handler(XPLMCommandRef, XPLMCommandPhase phase, void* refcon) {
    g_trail.push_back(std::string(static_cast<const char*>(refcon)) + std::to_string(phase));
    return !(g_blockBegin && phase == xplm_CommandBegin);
}

TEST_F(SdkArea, CommandHandlersSeeEveryPhaseAndMayKeepTheCommand) {
    SIM_DefineCommand("sim/test/cmd");
    XPLMCommandRef cmd = XPLMFindCommand("sim/test/cmd");
    XPLMRegisterCommandHandler(cmd, Handler, 0, const_cast<char*>("after"));
    XPLMRegisterCommandHandler(cmd, Handler, 1, const_cast<char*>("before"));
    XPLMCommandBegin(cmd);
    SIM_RunFrames(2);
    XPLMCommandEnd(cmd);
    EXPECT_EQ(g_trail, (std::vector<std::string>{"before0", "after0", "before1", "after1", "before1", "after1",
                                                 "before2", "after2"}));
    EXPECT_EQ(SIM_CommandRunCount("sim/test/cmd"), 1);
    g_blockBegin = 1;
    g_trail.clear();
    XPLMCommandOnce(cmd);
    g_blockBegin = 0;
    // Kept by the before-handler: the after-handler and the simulator never see the begin.
    EXPECT_EQ(g_trail.front(), "before0");
    EXPECT_EQ(SIM_CommandRunCount("sim/test/cmd"), 1);
    XPLMUnregisterCommandHandler(cmd, Handler, 1, const_cast<char*>("before"));
    XPLMUnregisterCommandHandler(cmd, Handler, 0, const_cast<char*>("after"));
    g_trail.clear();
    XPLMCommandOnce(cmd);
    EXPECT_TRUE(g_trail.empty());
    EXPECT_EQ(SIM_CommandRunCount("sim/test/cmd"), 2);
    XPLMRegisterCommandHandler(reinterpret_cast<XPLMCommandRef>(0x10), Handler, 1, nullptr);
    EXPECT_EQ(SIM_Misuses(), 1);
}

// ---- datarefs plug-ins publish or share

int g_value = 7;
int GetInt(void* refcon) { return *static_cast<int*>(refcon); }
void SetInt(void* refcon, int v) { *static_cast<int*>(refcon) = v; }
int g_notified = 0;
void Changed(void* refcon) { g_notified += (int)(intptr_t)refcon; }

TEST_F(SdkArea, PublishedDatarefsGoThroughTheirCallbacks) {
    XPLMDataRef ref = XPLMRegisterDataAccessor("test/owned", xplmType_Int, 1, GetInt, SetInt, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, &g_value, &g_value);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(XPLMFindDataRef("test/owned"), ref);
    EXPECT_EQ(XPLMGetDataRefTypes(ref), xplmType_Int);
    EXPECT_EQ(XPLMGetDatai(ref), 7);
    XPLMSetDatai(ref, 9);
    EXPECT_EQ(g_value, 9);
    EXPECT_EQ(SIM_Misuses(), 0);
    EXPECT_EQ(XPLMGetDataf(ref), 0.0f);  // no float accessor
    EXPECT_EQ(SIM_Misuses(), 1);
    // One name, one dataref.
    EXPECT_EQ(XPLMRegisterDataAccessor("test/owned", xplmType_Int, 0, GetInt, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &g_value,
                                       nullptr),
              nullptr);
    EXPECT_EQ(SIM_Misuses(), 2);
    // Unregistered, the dataref is orphaned: a handle kept stays valid, is no longer good, reads
    // 0 and takes no writes, none of which is the reader's fault. Registered again, the same
    // handle works again.
    XPLMUnregisterDataAccessor(ref);
    EXPECT_EQ(XPLMFindDataRef("test/owned"), nullptr);
    EXPECT_EQ(XPLMIsDataRefGood(ref), 0);
    EXPECT_EQ(XPLMCanWriteDataRef(ref), 0);
    EXPECT_EQ(XPLMGetDatai(ref), 0);
    XPLMSetDatai(ref, 5);
    EXPECT_EQ(g_value, 9);
    EXPECT_EQ(SIM_Misuses(), 2);
    EXPECT_EQ(XPLMRegisterDataAccessor("test/owned", xplmType_Int, 1, GetInt, SetInt, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &g_value,
                                       &g_value),
              ref);
    EXPECT_EQ(XPLMIsDataRefGood(ref), 1);
    EXPECT_EQ(XPLMGetDatai(ref), 9);
    XPLMUnregisterDataAccessor(ref);
    XPLMUnregisterDataAccessor(ref);  // a second time: not one of this plug-in's datarefs any more
    EXPECT_EQ(SIM_Misuses(), 3);

    XPLMDataRef readOnly = XPLMRegisterDataAccessor("test/ro", xplmType_Int, 0, GetInt, SetInt, nullptr, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, &g_value, &g_value);
    EXPECT_EQ(XPLMCanWriteDataRef(readOnly), 0);
    XPLMSetDatai(readOnly, 1);
    EXPECT_EQ(g_value, 9);
    EXPECT_EQ(SIM_Misuses(), 4);
    XPLMUnregisterDataAccessor(readOnly);
}

float g_levels[3] = {1, 2, 3};
int GetLevels(void*, float* out, int offset, int max) {
    if (!out) return 3;
    int n = 0;
    for (; n < max && offset + n < 3; ++n) out[n] = g_levels[offset + n];
    return n;
}

TEST_F(SdkArea, AnOrphanedArrayHasNoItems) {
    XPLMDataRef ref = XPLMRegisterDataAccessor("test/levels", xplmType_FloatArray, 0, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, GetLevels, nullptr,
                                               nullptr, nullptr, nullptr, nullptr);
    float out[3] = {};
    EXPECT_EQ(XPLMGetDatavf(ref, nullptr, 0, 0), 3);
    XPLMUnregisterDataAccessor(ref);
    EXPECT_EQ(XPLMGetDatavf(ref, nullptr, 0, 0), 0);
    EXPECT_EQ(XPLMGetDatavf(ref, out, 0, 3), 0);
    EXPECT_EQ(out[0], 0.0f);
    float levels[1] = {9};
    XPLMSetDatavf(ref, levels, 0, 1);
    EXPECT_EQ(g_levels[0], 1.0f);
    EXPECT_EQ(SIM_Misuses(), 0);
    EXPECT_EQ(XPLMGetDatai(ref), 0);  // still the wrong accessors for this type set
    XPLMSetDatai(ref, 1);
    EXPECT_EQ(SIM_Misuses(), 2);
}

TEST_F(SdkArea, SharedDataTellsEverySharerAndEndsWithTheLast) {
    g_notified = 0;
    EXPECT_EQ(XPLMShareData("test/shared", xplmType_Float, Changed, (void*)1), 1);
    EXPECT_EQ(XPLMShareData("test/shared", xplmType_Float, Changed, (void*)10), 1);
    EXPECT_EQ(XPLMShareData("test/shared", xplmType_Int, Changed, (void*)100), 0);  // another type
    XPLMDataRef ref = XPLMFindDataRef("test/shared");
    XPLMSetDataf(ref, 2.5f);
    EXPECT_EQ(XPLMGetDataf(ref), 2.5f);
    EXPECT_EQ(g_notified, 11);
    EXPECT_EQ(XPLMUnshareData("test/shared", xplmType_Float, Changed, (void*)1), 1);
    EXPECT_EQ(XPLMUnshareData("test/shared", xplmType_Float, Changed, (void*)1), 0);
    EXPECT_NE(XPLMFindDataRef("test/shared"), nullptr);
    EXPECT_EQ(XPLMUnshareData("test/shared", xplmType_Float, Changed, (void*)10), 1);
    EXPECT_EQ(XPLMFindDataRef("test/shared"), nullptr);
    // The handle outlives the data: orphaned, it reads 0 until someone shares the name again.
    EXPECT_EQ(XPLMIsDataRefGood(ref), 0);
    EXPECT_EQ(XPLMGetDataf(ref), 0.0f);
    XPLMSetDataf(ref, 1.0f);
    EXPECT_EQ(g_notified, 11);
    EXPECT_EQ(XPLMShareData("test/shared", xplmType_Float, nullptr, nullptr), 1);
    EXPECT_EQ(XPLMFindDataRef("test/shared"), ref);
    EXPECT_EQ(XPLMIsDataRefGood(ref), 1);
    EXPECT_EQ(XPLMUnshareData("test/shared", xplmType_Float, nullptr, nullptr), 1);
    SIM_SetDataref("sim/own", xplmType_Int, 1);
    EXPECT_EQ(XPLMShareData("sim/own", xplmType_Int, nullptr, nullptr), 0);  // the simulator's own
    EXPECT_EQ(SIM_Misuses(), 0);
}

// ---- navigation, FMS, aircraft

TEST_F(SdkArea, EmptyNavigationDatabaseButAWorkingFms) {
    EXPECT_EQ(XPLMGetFirstNavAid(), XPLM_NAV_NOT_FOUND);
    EXPECT_EQ(XPLMFindNavAid(nullptr, "KSEA", nullptr, nullptr, nullptr, xplm_Nav_Airport), XPLM_NAV_NOT_FOUND);
    EXPECT_EQ(SIM_Misuses(), 0);
    while (XPLMCountFMSEntries() > 0) XPLMClearFMSEntry(0);
    XPLMSetFMSEntryLatLon(0, 47.5f, -122.3f, 3000);
    XPLMSetFMSEntryLatLon(1, 48.0f, -123.0f, 5000);
    XPLMSetFMSEntryLatLon(2, 49.0f, -124.0f, 7000);
    EXPECT_EQ(XPLMCountFMSEntries(), 3);
    XPLMClearFMSEntry(0);  // the rest move up
    XPLMNavType type;
    int altitude;
    float lat, lon;
    char id[32];
    XPLMNavRef ref;
    XPLMGetFMSEntryInfo(0, &type, id, &ref, &altitude, &lat, &lon);
    EXPECT_EQ(type, xplm_Nav_LatLon);
    EXPECT_EQ(altitude, 5000);
    EXPECT_FLOAT_EQ(lat, 48.0f);
    EXPECT_EQ(ref, XPLM_NAV_NOT_FOUND);
    EXPECT_EQ(XPLMCountFMSEntries(), 2);
    XPLMSetDestinationFMSEntry(1);
    EXPECT_EQ(XPLMGetGPSDestinationType(), xplm_Nav_LatLon);
    XPLMSetFMSEntryLatLon(100, 0, 0, 0);
    XPLMSetFMSEntryLatLon(0, 91.0f, 0, 0);
    XPLMGetNavAidInfo(5, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(SIM_Misuses(), 3);
    while (XPLMCountFMSEntries() > 0) XPLMClearFMSEntry(0);
}

int g_available = 0;
void Available(void*) { g_available++; }

TEST_F(SdkArea, OneUserAircraftAndOtherAircraftHeldByOne) {
    int total = 0, active = 0;
    XPLMPluginID controller = 0;
    XPLMCountAircraft(&total, &active, &controller);
    EXPECT_EQ(total, 1);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(controller, XPLM_NO_PLUGIN_ID);
    char file[256], path[512];
    XPLMGetNthAircraftModel(0, file, path);
    EXPECT_STREQ(file, "StandIn.acf");
    EXPECT_NE(std::string(path).find("\\Aircraft\\Stand-in\\StandIn.acf"), std::string::npos);
    XPLMGetNthAircraftModel(1, file, path);
    EXPECT_STREQ(file, "");
    EXPECT_STREQ(path, "");
    XPLMSetActiveAircraftCount(1);  // not held
    EXPECT_EQ(SIM_Misuses(), 1);
    EXPECT_EQ(XPLMAcquirePlanes(nullptr, Available, nullptr), 1);
    XPLMCountAircraft(nullptr, nullptr, &controller);
    EXPECT_EQ(controller, 0);
    XPLMReleasePlanes();
    XPLMCountAircraft(nullptr, nullptr, &controller);
    EXPECT_EQ(controller, XPLM_NO_PLUGIN_ID);
    EXPECT_EQ(SIM_Misuses(), 1);
}

// ---- files and folders

std::string TempFolder() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string folder = std::string(dir) + "sdk_area_test";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"a.txt", "bb.txt", "ccc.txt"}) {
        HANDLE h = CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    return folder;
}

TEST_F(SdkArea, FilePathsSplitInPlace) {
    char full[] = "C:\\X-Plane\\Output\\preferences\\Set X-Plane.prf";
    char* file = XPLMExtractFileAndPath(full);
    EXPECT_STREQ(file, "Set X-Plane.prf");
    EXPECT_STREQ(full, "C:\\X-Plane\\Output\\preferences");
    char folder[] = "C:\\X-Plane\\";
    EXPECT_STREQ(XPLMExtractFileAndPath(folder), "");
    EXPECT_STREQ(folder, "C:\\X-Plane");
    char bare[] = "name.txt";
    EXPECT_STREQ(XPLMExtractFileAndPath(bare), "");
    EXPECT_STREQ(bare, "name.txt");
}

TEST_F(SdkArea, DirectoryContentsReportWhatDidNotFit) {
    std::string folder = TempFolder();
    char names[64];
    char* index[8];
    int total = 0, returned = 0;
    EXPECT_EQ(XPLMGetDirectoryContents(folder.c_str(), 0, names, sizeof names, index, 8, &total, &returned), 1);
    EXPECT_EQ(total, 3);
    ASSERT_EQ(returned, 3);
    EXPECT_STREQ(index[0], "a.txt");
    EXPECT_STREQ(index[2], "ccc.txt");
    // Room for two names only: they come, and the answer says not all did.
    char small[13];
    EXPECT_EQ(XPLMGetDirectoryContents(folder.c_str(), 0, small, sizeof small, index, 8, &total, &returned), 0);
    EXPECT_EQ(returned, 2);
    EXPECT_STREQ(index[1], "bb.txt");
    EXPECT_EQ(XPLMGetDirectoryContents(folder.c_str(), 2, names, sizeof names, index, 1, &total, &returned), 1);
    EXPECT_STREQ(index[0], "ccc.txt");
    EXPECT_EQ(XPLMGetDirectoryContents((folder + "\\missing").c_str(), 0, names, sizeof names, index, 8, &total,
                                       &returned),
              0);
    EXPECT_EQ(total, 0);
}

TEST_F(SdkArea, SituationFilesRoundTripAndDamagedOnesChangeNothing) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + "sdk_area_situation.sit";
    SIM_SetDataref("sim/a", xplmType_Int, 3);
    SIM_SetDataref("sim/b", xplmType_Double, 47.123456789012);
    SIM_SetDataref("sim/c", xplmType_Float | xplmType_Double, 2.5);
    SIM_SetDatarefWritable("sim/c", 0);
    const double items[3] = {1.5, -2, 7};
    SIM_SetDatarefArray("sim/v", xplmType_FloatArray, items, 3);
    SIM_SetDatarefBytes("sim/t", "D-EA\0Z", 6);
    ASSERT_EQ(XPLMSaveDataFile(xplm_DataFile_Situation, path.c_str()), 1);
    SIM_SetDataref("sim/a", xplmType_Int, 4);
    SIM_SetDataref("sim/c", xplmType_Float, 9);
    SIM_SetDatarefBytes("sim/t", "X", 1);
    EXPECT_EQ(XPLMLoadDataFile(xplm_DataFile_ReplayMovie, path.c_str()), 0);  // not a replay
    ASSERT_EQ(XPLMLoadDataFile(xplm_DataFile_Situation, path.c_str()), 1);
    double value = 0;
    SIM_GetDataref("sim/a", &value);
    EXPECT_EQ(value, 3);
    SIM_GetDataref("sim/b", &value);
    EXPECT_EQ(value, 47.123456789012);
    // Type sets, arrays, bytes and writability come back as they were saved.
    EXPECT_EQ(SIM_GetDataref("sim/c", &value), xplmType_Float | xplmType_Double);
    EXPECT_EQ(SIM_DatarefWritable("sim/c"), 0);
    double back[4] = {};
    ASSERT_EQ(SIM_GetDatarefArray("sim/v", back, 4), 3);
    EXPECT_EQ(back[0], 1.5);
    EXPECT_EQ(back[1], -2);
    char text[8] = {};
    ASSERT_EQ(SIM_GetDatarefBytes("sim/t", text, 8), 6);
    EXPECT_EQ(memcmp(text, "D-EA\0Z", 6), 0);
    FILE* f = fopen(path.c_str(), "ab");
    fputs("dataref sim/a int\n", f);
    fclose(f);
    SIM_SetDataref("sim/a", xplmType_Int, 5);
    EXPECT_EQ(XPLMLoadDataFile(xplm_DataFile_Situation, path.c_str()), 0);
    SIM_GetDataref("sim/a", &value);
    EXPECT_EQ(value, 5);
}

// ---- coordinates, camera, error callback

TEST_F(SdkArea, LocalAndWorldCoordinatesRoundTrip) {
    SIM_SetDataref("sim/flightmodel/position/lat_ref", xplmType_Double, 47.0);
    SIM_SetDataref("sim/flightmodel/position/lon_ref", xplmType_Double, 179.9);
    double x, y, z, lat, lon, alt;
    XPLMWorldToLocal(47.01, -179.95, 120, &x, &y, &z);
    EXPECT_GT(x, 0);  // east, across the date line
    EXPECT_LT(z, 0);  // north is -z
    EXPECT_NEAR(z, -1113.2, 1.0);
    XPLMLocalToWorld(x, y, z, &lat, &lon, &alt);
    EXPECT_NEAR(lat, 47.01, 1e-9);
    EXPECT_NEAR(lon, -179.95, 1e-9);
    EXPECT_NEAR(alt, 120, 1e-9);
}

int g_cameraCalls = 0, g_cameraLost = 0, g_cameraKeep = 1;
int Camera(XPLMCameraPosition_t* position, int losing, void*) {
    if (losing) {
        g_cameraLost++;
        return 0;
    }
    g_cameraCalls++;
    position->x = 10.0f * g_cameraCalls;
    return g_cameraKeep;
}

TEST_F(SdkArea, CameraControlEndsByAnswerByViewChangeOrByChoice) {
    g_cameraCalls = g_cameraLost = 0;
    g_cameraKeep = 1;
    XPLMControlCamera(xplm_ControlCameraUntilViewChanges, Camera, nullptr);
    SIM_RunFrames(2);
    XPLMCameraPosition_t pos;
    XPLMReadCameraPosition(&pos);
    EXPECT_EQ(pos.x, 20.0f);
    XPLMCameraControlDuration how = 0;
    EXPECT_EQ(XPLMIsCameraBeingControlled(&how), 1);
    EXPECT_EQ(how, xplm_ControlCameraUntilViewChanges);
    SIM_ViewChanged();
    EXPECT_EQ(g_cameraLost, 1);
    EXPECT_EQ(XPLMIsCameraBeingControlled(nullptr), 0);
    XPLMControlCamera(xplm_ControlCameraForever, Camera, nullptr);
    SIM_ViewChanged();
    EXPECT_EQ(XPLMIsCameraBeingControlled(nullptr), 1);
    g_cameraKeep = 0;
    SIM_RunFrames(1);
    EXPECT_EQ(XPLMIsCameraBeingControlled(nullptr), 0);
    XPLMControlCamera(xplm_ControlCameraForever, Camera, nullptr);
    XPLMDontControlCamera();
    EXPECT_EQ(g_cameraLost, 1);  // given up, not taken: no losing call
    EXPECT_EQ(XPLMIsCameraBeingControlled(nullptr), 0);
}

std::vector<std::string> g_errors;
void OnError(const char* message) { g_errors.push_back(message); }

TEST_F(SdkArea, ErrorCallbackHearsOfMisuses) {
    g_errors.clear();
    XPLMSetErrorCallback(OnError);
    XPLMDestroyFlightLoop(reinterpret_cast<XPLMFlightLoopID>(0x99));
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_NE(g_errors[0].find("XPLMDestroyFlightLoop"), std::string::npos);
    XPLMSetErrorCallback(nullptr);
    XPLMDestroyFlightLoop(reinterpret_cast<XPLMFlightLoopID>(0x99));
    EXPECT_EQ(g_errors.size(), 1u);
    // The API's own functions can be found by name; the test interface cannot.
    EXPECT_EQ(XPLMFindSymbol("XPLMGetElapsedTime"), reinterpret_cast<void*>(&XPLMGetElapsedTime));
    EXPECT_EQ(XPLMFindSymbol("SIM_Init"), nullptr);
}

// ---- probes and objects

TEST_F(SdkArea, ProbesNeedTheCallersSizeAndALiveHandle) {
    XPLMProbeRef probe = XPLMCreateProbe(xplm_ProbeY);
    XPLMProbeInfo_t info = {};
    EXPECT_EQ(XPLMProbeTerrainXYZ(probe, 5, 100, 7, &info), xplm_ProbeError);  // size not filled in
    info.structSize = sizeof info;
    EXPECT_EQ(XPLMProbeTerrainXYZ(probe, 5, 100, 7, &info), xplm_ProbeHitTerrain);
    EXPECT_EQ(info.locationX, 5);
    EXPECT_EQ(info.locationY, 0);
    EXPECT_EQ(info.normalY, 1);
    XPLMDestroyProbe(probe);
    EXPECT_EQ(SIM_Misuses(), 0);
    EXPECT_EQ(XPLMProbeTerrainXYZ(probe, 5, 100, 7, &info), xplm_ProbeError);
    EXPECT_EQ(XPLMLoadObject("no/such/object.obj"), nullptr);
    EXPECT_EQ(SIM_Misuses(), 1);
}

}  // namespace
