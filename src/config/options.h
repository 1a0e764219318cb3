#pragma once
// The plug-in's options, loaded from its configuration file.

struct OptionRecord {
    int WindowPosition = 1;  // ATC text corner: 1 top left, 2 top right, 3 bottom right, 4 bottom left
    int AutoStart = 0;
    int ShowFrequencies = 0;
    int DisableNativeAtc = 0;
    int BoostQVEProcessPriority = 0;
    int EnableKeyboardHints = 0;
    int DisableReminder = 0;  // kept as read
    int FlightPlanningOnline = 1;
    char FlightPlanningTarget[256] = "";
    float TitleColour[3] = {0.3f, 0.9f, 0.9f};
    float OptionsColour[3] = {1.0f, 0.0f, 0.0f};
    float HintsColour[3] = {0.6f, 0.6f, 0.6f};
};

extern OptionRecord PluginOptions;
