#pragma once
// Failed checks in tests: the test main fails the running test for each one, except those the
// test declared with an ExpectedChecks.
#include <string>

// For as long as it lives, checks failing in the named source file (its name without folders)
// are counted instead of failing the test; when it ends, the test fails unless at least one did.
class ExpectedChecks {
public:
    explicit ExpectedChecks(const char* file);
    ~ExpectedChecks();
    ExpectedChecks(const ExpectedChecks&) = delete;
    ExpectedChecks& operator=(const ExpectedChecks&) = delete;
    int Count() const;

private:
    std::string file_;
};
