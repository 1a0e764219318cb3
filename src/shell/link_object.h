#pragma once
// One link, from its start to its end: everything whose life is one link's is a part of it, made
// in the order the link's start needs and ended in the reverse order by the link's destruction
// (the stop, or a start refused part of the way). Nothing of an ended link can be reached; the
// next link begins from nothing.
//
// Lives on the simulator's thread only. Threads that outlive a call hold the part they use, not
// the link: the tick and an attach hold the LinkWatch (bridge/monitor.h), whose end they see.
#include <memory>
#include <optional>

#include "bridge/monitor.h"

class Link {
public:
    // The link made whole, or null when the IPC server does not accept it (logged; what was
    // made until then is ended). The server's presence and the ATC program's state are checked
    // by the caller before anything is made.
    static std::unique_ptr<Link> Make();
    // Ends the parts in the reverse order of their making.
    ~Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The link's watch (the monitor's state of this link).
    const std::shared_ptr<LinkWatch>& Watch() const { return watch_->watch; }

    // The parts, each ended by its destructor.
    struct Interceptions {
        Interceptions();
        ~Interceptions();
    };
    struct Fs98Window {
        Fs98Window();
        ~Fs98Window();
    };
    struct HintsPanel {
        HintsPanel();
        ~HintsPanel();
    };
    struct IpcPart {
        ~IpcPart();
    };
    struct StripPlace {
        StripPlace();
        ~StripPlace();
    };
    struct WatchPart {
        WatchPart();
        ~WatchPart();
        std::shared_ptr<LinkWatch> watch;
    };
    struct KeyWatch {
        KeyWatch();
        ~KeyWatch();
    };

private:
    Link() = default;
    // In the order of making: destroyed from the last.
    std::optional<Interceptions> hooks_;
    std::optional<Fs98Window> fs98_;
    std::optional<HintsPanel> hints_;
    std::optional<IpcPart> ipc_;
    std::optional<StripPlace> strip_;
    std::optional<WatchPart> watch_;
    std::optional<KeyWatch> keys_;
};
