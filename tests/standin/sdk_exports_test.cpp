// The stand-in API DLLs against the SDK: every function of the SDK's list is declared in our
// headers and exported by the right DLL, our headers declare nothing beyond the list (but the
// few newer functions named here), and the DLLs export no API name the headers lack.
//
//   sdk_exports_test SDK_DIR SIM_DIR  (gtest arguments may follow)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string g_sdkDir, g_simDir;

// Declared in our headers for tests and newer simulators, above the level the project keeps to.
const std::set<std::string> kNewer = {
    "XPGetWidgetUnderlyingWindow",  "XPLMGetScreenBoundsGlobal",    "XPLMGetAllMonitorBoundsGlobal",
    "XPLMGetAllMonitorBoundsOS",    "XPLMGetMouseLocationGlobal",   "XPLMGetWindowGeometryOS",
    "XPLMSetWindowGeometryOS",      "XPLMWindowIsPoppedOut",        "XPLMSetWindowGravity",
    "XPLMSetWindowResizingLimits",  "XPLMSetWindowPositioningMode", "XPLMSetWindowTitle",
    "XPLMGetWindowGeometryVR",      "XPLMSetWindowGeometryVR",      "XPLMWindowIsInVR"};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---- the export directory of a PE32+ file, every offset checked against the file's size
uint32_t U32(const std::string& f, size_t at, bool* ok) {
    if (at > f.size() || f.size() - at < 4) {
        *ok = false;
        return 0;
    }
    uint32_t v;
    memcpy(&v, f.data() + at, 4);
    return v;
}
uint16_t U16(const std::string& f, size_t at, bool* ok) {
    if (at > f.size() || f.size() - at < 2) {
        *ok = false;
        return 0;
    }
    uint16_t v;
    memcpy(&v, f.data() + at, 2);
    return v;
}

// Empty with *ok false when the file is not a well-formed PE32+ image.
std::set<std::string> ExportNames(const std::string& f, bool* ok) {
    *ok = true;
    std::set<std::string> names;
    if (f.size() < 0x40 || f.compare(0, 2, "MZ") != 0) return *ok = false, names;
    size_t pe = U32(f, 0x3C, ok);
    if (!*ok || U32(f, pe, ok) != 0x00004550) return *ok = false, names;
    size_t fileHeader = pe + 4;
    unsigned sections = U16(f, fileHeader + 2, ok);
    unsigned optionalSize = U16(f, fileHeader + 16, ok);
    size_t optional = fileHeader + 20;
    if (!*ok || U16(f, optional, ok) != 0x20B || optionalSize < 120) return *ok = false, names;
    uint32_t exportRva = U32(f, optional + 112, ok);
    if (!*ok) return names;
    if (exportRva == 0) return names;  // exports nothing
    size_t sectionTable = optional + optionalSize;
    auto fileOffset = [&](uint32_t rva, bool* good) -> size_t {
        for (unsigned i = 0; i < sections; ++i) {
            size_t s = sectionTable + (size_t)i * 40;
            uint32_t size = std::max(U32(f, s + 8, good), U32(f, s + 16, good));
            uint32_t va = U32(f, s + 12, good), raw = U32(f, s + 20, good);
            if (*good && rva >= va && rva - va < size) return (size_t)raw + (rva - va);
        }
        *good = false;
        return 0;
    };
    size_t dir = fileOffset(exportRva, ok);
    uint32_t count = U32(f, dir + 24, ok);
    size_t nameTable = fileOffset(U32(f, dir + 32, ok), ok);
    if (!*ok || count > 100000) return *ok = false, names;
    for (uint32_t i = 0; i < count && *ok; ++i) {
        size_t at = fileOffset(U32(f, nameTable + (size_t)i * 4, ok), ok);
        if (!*ok) break;
        size_t end = f.find('\0', at);
        if (end == std::string::npos) return *ok = false, names;
        names.insert(f.substr(at, end - at));
    }
    return names;
}

// ---- "MACRO <type> Name(" declarations of our headers, as the import libraries are made
std::set<std::string> Declared(const std::string& text, const std::string& macro) {
    std::string joined = std::regex_replace(text, std::regex("\n[ \t]+"), " ");
    std::regex decl(macro + " [^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*)\\(");
    std::set<std::string> names;
    for (std::sregex_iterator it(joined.begin(), joined.end(), decl), end; it != end; ++it) names.insert((*it)[1]);
    return names;
}

std::set<std::string> DeclaredIn(const std::vector<std::string>& headers, const std::string& macro) {
    std::set<std::string> names;
    for (const std::string& h : headers) {
        std::string text = ReadFile(g_sdkDir + "/" + h);
        EXPECT_FALSE(text.empty()) << h;
        for (const std::string& n : Declared(text, macro)) names.insert(n);
    }
    return names;
}

const std::vector<std::string> kXplmHeaders = {
    "XPLM/XPLMCamera.h",   "XPLM/XPLMDataAccess.h", "XPLM/XPLMDefs.h",     "XPLM/XPLMDisplay.h",
    "XPLM/XPLMGraphics.h", "XPLM/XPLMMenus.h",      "XPLM/XPLMNavigation.h", "XPLM/XPLMPlanes.h",
    "XPLM/XPLMPlugin.h",   "XPLM/XPLMProcessing.h", "XPLM/XPLMScenery.h",  "XPLM/XPLMUtilities.h"};
const std::vector<std::string> kWidgetHeaders = {"Widgets/XPStandardWidgets.h", "Widgets/XPUIGraphics.h",
                                                 "Widgets/XPWidgetDefs.h", "Widgets/XPWidgetUtils.h",
                                                 "Widgets/XPWidgets.h"};

// The SDK's list: DLL name and function per line.
std::map<std::string, std::string> SdkList() {
    std::map<std::string, std::string> list;
    std::istringstream lines(ReadFile(g_sdkDir + "/sdk-2.1.1-functions.txt"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string dll, name;
        fields >> dll >> name;
        list[name] = dll;
    }
    return list;
}

std::set<std::string> Exports(const std::string& dll) {
    bool ok = false;
    std::set<std::string> names = ExportNames(ReadFile(g_simDir + "/" + dll), &ok);
    EXPECT_TRUE(ok) << dll << " is not a readable PE32+ image";
    return names;
}

bool IsApiName(const std::string& n) { return n.compare(0, 2, "XP") == 0; }  // not SIM_/SIMW_

TEST(SdkExports, PeReaderRejectsDamagedImages) {
    bool ok = true;
    EXPECT_TRUE(ExportNames("", &ok).empty());
    EXPECT_FALSE(ok);
    std::string image = ReadFile(g_simDir + "/XPLM_64.dll");
    ASSERT_GT(image.size(), 0x1000u);
    ExportNames(image, &ok);
    EXPECT_TRUE(ok);
    // Cut short, or with the header pointer sent past the end: refused, never read past the end.
    for (size_t cut : {size_t(0x40), size_t(0x200), size_t(0x400), size_t(0x1000)}) {
        ExportNames(image.substr(0, cut), &ok);
        EXPECT_FALSE(ok) << cut;
    }
    std::string bad = image;
    uint32_t far = 0x7FFFFFF0;
    memcpy(&bad[0x3C], &far, 4);
    ExportNames(bad, &ok);
    EXPECT_FALSE(ok);
}

TEST(SdkExports, ListHasTheWholeSdk) {
    std::map<std::string, std::string> list = SdkList();
    // Every area of the SDK is there, with the flight-loop objects and the widget utilities.
    EXPECT_GE(list.size(), 190u);
    for (const char* name : {"XPLMCreateFlightLoop", "XPLMGetNthAircraftModel", "XPLMFindNavAid",
                             "XPLMGetDatavi", "XPLMControlCamera", "XPLMProbeTerrainXYZ", "XPUCreateWidgets",
                             "XPGetTrackMetrics"})
        EXPECT_EQ(list.count(name), 1u) << name;
}

TEST(SdkExports, HeadersDeclareTheListAndNothingElse) {
    std::map<std::string, std::string> list = SdkList();
    std::set<std::string> xplm = DeclaredIn(kXplmHeaders, "XPLM_API");
    std::set<std::string> widgets = DeclaredIn(kWidgetHeaders, "WIDGET_API");
    for (const auto& entry : list) {
        const std::set<std::string>& declared = entry.second == "XPLM_64.dll" ? xplm : widgets;
        EXPECT_EQ(declared.count(entry.first), 1u) << entry.first << " of " << entry.second << " is not declared";
    }
    for (const std::set<std::string>* declared : {&xplm, &widgets})
        for (const std::string& name : *declared)
            EXPECT_TRUE(list.count(name) || kNewer.count(name)) << name << " is declared but not in the SDK's list";
}

TEST(SdkExports, DllsExportEveryDeclaredFunction) {
    std::map<std::string, std::set<std::string>> declared = {
        {"XPLM_64.dll", DeclaredIn(kXplmHeaders, "XPLM_API")},
        {"XPWidgets_64.dll", DeclaredIn(kWidgetHeaders, "WIDGET_API")}};
    for (const auto& dll : declared) {
        std::set<std::string> exported = Exports(dll.first);
        for (const std::string& name : dll.second)
            EXPECT_EQ(exported.count(name), 1u) << dll.first << " does not export " << name;
        for (const std::string& name : exported) {
            if (IsApiName(name)) {
                EXPECT_EQ(dll.second.count(name), 1u) << dll.first << " exports " << name << ", declared nowhere";
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: sdk_exports_test SDK_DIR SIM_DIR\n");
        return 2;
    }
    g_sdkDir = argv[1];
    g_simDir = argv[2];
    return RUN_ALL_TESTS();
}
