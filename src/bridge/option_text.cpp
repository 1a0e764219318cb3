#include "bridge/option_text.h"

#include <cmath>

#include <cstdio>
#include <cstring>

#include "config/key_chars.h"

namespace {


struct Option {
    const char* text;
    int hotkey;
};

constexpr Option kEmergencyList[] = {
    {"Affirmative______________", 16}, {"Negative_________________", 17}, {"Acknowledge______________", 10},
    {"Request Vectors__________", 7},  {"Report Airport in sight__", 8},  {"Declare Emergency________", 11},
};
constexpr Option kAcknowledge = {"Acknowledge______________", 10};
constexpr Option kSayAgain = {"Say Again________________", 12};
constexpr Option kGroundTaxi[] = {
    {"Request Taxi OUT_________", 0},  {"Request Taxi IN__________", 5}, {"Request Another Runway___", 13},
    {"Accept this Runway_______", 16}, {"Show Another Runway______", 17},
};
constexpr Option kGroundTaxiGround[] = {{"Request Radio Check______", 6}, {"Request Baro Setting_____", 7}};
constexpr Option kGroundTaxiTower[] = {{"Request takeoff__________", 6}};
constexpr Option kGroundUncontrolled[] = {
    {"Announce clear of runway_", 5},
    {"Announce taking the RWY__", 6},
    {"Request Field Advisories_", 7},
    {"Announce Departing area__", 8},
};
constexpr Option kFlightPlan[] = {
    {"Request to Close FPLN____", 1}, {"Extend ETA by 30 Minutes_", 2}, {"Request WXR Advisories___", 3},
    {"Request Center Frequency_", 4}, {"Toggle FPLN VFR/IFR______", 6}, {"Request Field Advisories_", 7},
    {"Amend FPLN_______________", 8}, {"Report Position__________", 9},
};
constexpr Option kAirTower[] = {
    {"Check-in Request Landing_", 1}, {"Report entring DOWNWIND__", 2}, {"Report turning BASE______", 3},
    {"Report turning FINAL_____", 4}, {"Request Touch and Go_____", 5},  {"Request Field Advisories_", 7},
    {"Report going to Alternate", 8}, {"Report Mised Approach____", 9},
};
constexpr Option kAirUncontrolled[] = {
    {"Announce entring DOWNWIND", 2}, {"Announce turning BASE____", 3}, {"Announce turning FINAL___", 4},
    {"Announce Cleared Runway__", 5}, {"Request Field Advisories_", 7}, {"Announce departing area__", 8},
};
constexpr Option kAirEnRoute[] = {
    {"Req Lower Alt Weather____", 3}, {"Req Higher Alt Weather___", 4}, {"Req Lower Alt Turb_______", 5},
    {"Req Higher Alt Turb______", 6}, {"Request Vectors__________", 7}, {"Report Airport in sight__", 8},
    {"Report Position__________", 9},
};
constexpr Option kAirTail[] = {{"Req Dir WPT or RWY_______", 13}, {"Declare Emergency________", 11}};
constexpr Option kVcpMode = {"VCP Mode_________________", 14};

template <size_t N>
constexpr bool Padded(const Option (&list)[N]) {
    for (const Option& o : list) {
        int n = 0;
        while (o.text[n]) ++n;
        if (n != kOptionTextWidth) return false;
    }
    return true;
}
static_assert(Padded(kEmergencyList) && Padded(kGroundTaxi) && Padded(kGroundTaxiGround) &&
                  Padded(kGroundTaxiTower) && Padded(kGroundUncontrolled) && Padded(kFlightPlan) &&
                  Padded(kAirTower) && Padded(kAirUncontrolled) && Padded(kAirEnRoute) && Padded(kAirTail),
              "option texts are 25 characters");

const char* FirstEntry(int phase, bool onGround) {
    switch (phase) {
        case 7:
        case 14: return "Request clearance________";
        case 5: return "Check-in Ready for taxi__";
        case 6: return "Request Taxi to Runway___";
        case 11: return "Request to open FPLN_____";
        case 4: return onGround ? "Request to Open FPLN_____" : "Initial Check-in_________";
        default: return "Initial Check-in_________";
    }
}

class Builder {
public:
    Builder(OptionList& list, const OptionInputs& in) : list_(list), in_(in) {}
    void Add(const Option& o) { AppendOption(list_, o.text, o.hotkey, in_.hotkeys, in_.hotkeyKeys); }
    template <size_t N>
    void Add(const Option (&options)[N]) {
        for (const Option& o : options) Add(o);
    }

private:
    OptionList& list_;
    const OptionInputs& in_;
};

}  // namespace

int ChannelKhz(float megahertz) {
    // Radio.dat holds channels to the kHz (118.005); as a float they are a hair off that.
    if (!(megahertz > 0.0f) || megahertz > 1.0e6f) return 0;
    return (int)std::lround((double)megahertz * 1000.0);
}

int PhaseCode(int com1, const FrequencyEntry* frequencies, bool onGround) {
    return PhaseCode(com1, 0, frequencies, onGround);
}

int PhaseCode(int com1, int com1Khz, const FrequencyEntry* frequencies, bool onGround) {
    const float mhz = (float)(com1 / 100.0);
    int phase = 0;
    for (int i = 0; i < kFrequencyTableSize; ++i) {
        const bool match = com1Khz > 0 ? ChannelKhz(frequencies[i].Frequency) == com1Khz : frequencies[i].Frequency == mhz;
        if (match) {
            phase = frequencies[i].Type;
            break;
        }
    }
    if (phase == 0) phase = onGround ? FrequencyGround : FrequencyCenter;
    return phase;
}

void AppendOption(OptionList& list, const char* text, int hotkeyIndex, const HotkeyEntry* hotkeys,
                  const char* hotkeyKeys) {
    char entry[96];
    const HotkeyEntry key = hotkeys ? hotkeys[hotkeyIndex] : HotkeyEntry{0, 0};
    char label[8] = "";
    if (hotkeyKeys) KeyLabel((uint8_t)hotkeyKeys[hotkeyIndex], label);
    snprintf(entry, sizeof entry, "%s\t%s%s %s*", text, (key.modifiers & 2) ? "C" : "", (key.modifiers & 1) ? "S" : "",
             label);
    size_t used = strlen(list.text);
    if (used + strlen(entry) + 1 > sizeof list.text) return;
    memcpy(list.text + used, entry, strlen(entry) + 1);
    list.count++;
}

OptionList ChooseOptionList(const OptionInputs& in) {
    OptionList list;
    Builder add(list, in);
    const int phase = PhaseCode(in.com1, in.com1Khz, in.frequencies, in.onGround);
    if (in.emergency && !in.onGround) {
        add.Add(kEmergencyList);
        add.Add(kVcpMode);
        return list;
    }
    add.Add(Option{FirstEntry(phase, in.onGround), 0});
    const bool uncontrolled = phase == FrequencyMulticom || phase == FrequencyUnicom;
    if (!uncontrolled) {
        add.Add(kAcknowledge);
        add.Add(kSayAgain);
    }
    if (in.onGround) {
        if (phase == FrequencyGround || phase == FrequencyTower) {
            add.Add(kGroundTaxi);
            if (phase == FrequencyGround) add.Add(kGroundTaxiGround);
            else add.Add(kGroundTaxiTower);
        } else if (uncontrolled) {
            add.Add(kGroundUncontrolled);
        } else if (phase == FrequencyCtaf || phase == FrequencyFss) {
            add.Add(kFlightPlan);
        }
    } else {
        if (phase == FrequencyTower) add.Add(kAirTower);
        else if (uncontrolled) add.Add(kAirUncontrolled);
        else if (phase == FrequencyFss) add.Add(kFlightPlan);
        else add.Add(kAirEnRoute);
        add.Add(kAirTail);
    }
    add.Add(kVcpMode);
    return list;
}

bool OptionListReady(const char* text) { return strnlen(text, kOptionListSize) > 10; }
