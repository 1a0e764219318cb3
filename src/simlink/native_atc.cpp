#include "simlink/native_atc.h"

#include "simlink/datarefs.h"

namespace {

struct Switch {
    DatarefHandle DatarefHandles::*handle;
    double quiet;      // what the link wants while it runs
    double found = 0;  // what it was before
    bool taken = false;
};

Switch g_switches[] = {
    {&DatarefHandles::atisEnabled, 0.0},
    {&DatarefHandles::overrideAutotune, 1.0},
    {&DatarefHandles::com1RxOverride, 1.0},
    {&DatarefHandles::com2RxOverride, 1.0},
};
bool g_quiet = false;

}  // namespace

int QuietNativeAtc() {
    int held = 0;
    for (Switch& s : g_switches) {
        if (!g_quiet) {
            const DatarefHandle& d = Datarefs.*s.handle;
            // Only what can be written is taken: a read-only one would be "given back" for nothing.
            s.taken = d && d.writable;
            if (s.taken) {
                s.found = ReadDataref(d);
                WriteDataref(d, s.quiet);
            }
        }
        held += s.taken ? 1 : 0;
    }
    // Nothing held (the datarefs not looked up yet, or none there) leaves the next call free to try.
    g_quiet = held > 0;
    return held;
}

void RestoreNativeAtc() {
    if (!g_quiet) return;
    g_quiet = false;
    for (Switch& s : g_switches) {
        if (s.taken) WriteDataref(Datarefs.*s.handle, s.found);
        s.taken = false;
    }
}

bool NativeAtcQuiet() { return g_quiet; }

void ForgetNativeAtc() {
    g_quiet = false;
    for (Switch& s : g_switches) s.taken = false;
}
