#include "failed_checks.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "base/checks.h"
#include "base/log.h"

namespace {

// Checks fail on any thread; the declarations live on the test's.
std::mutex g_lock;
// Per file name: how many declarations are alive, and how many checks they counted.
struct Expectation {
    int declared = 0;
    int failed = 0;
};
std::map<std::string, Expectation> g_expected;

std::string BaseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

void FailTheTest(const char* file, int line, const char* text) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        auto it = g_expected.find(BaseName(file));
        if (it != g_expected.end() && it->second.declared > 0) {
            it->second.failed++;
            return;
        }
    }
    // GoogleTest takes failures from any thread; one outside a test fails the program's run.
    ADD_FAILURE_AT(file, line) << "a check no test expected: " << text;
}

// Each test starts as after a load: what an earlier test logged once, or within a rate limit,
// does not silence its lines, whatever the order the tests run in.
class FreshLogMemory : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        ForgetLoggedChecks();
        ForgetLogLimits();
    }
};

}  // namespace

ExpectedChecks::ExpectedChecks(const char* file) : file_(file) {
    std::lock_guard<std::mutex> hold(g_lock);
    Expectation& e = g_expected[file_];
    if (e.declared++ == 0) e.failed = 0;
}

ExpectedChecks::~ExpectedChecks() {
    int failed = 0;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        Expectation& e = g_expected[file_];
        failed = e.failed;
        e.declared--;
    }
    EXPECT_GT(failed, 0) << "the test said a check in " << file_ << " fails, and none did";
}

int ExpectedChecks::Count() const {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_expected.find(file_);
    return it == g_expected.end() ? 0 : it->second.failed;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    SetFailedCheckHook(FailTheTest);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshLogMemory);
    return RUN_ALL_TESTS();
}
