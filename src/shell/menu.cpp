// The plug-in menu's commands.
#include <cstdint>

#include "shell/guard.h"
#include "shell/plugin.h"

void MenuHandler(void* menuRef, void* itemRef) {
    GuardedVoid("MenuHandler", [&] {
        switch (static_cast<intptr_t>(reinterpret_cast<uintptr_t>(itemRef))) {
            case MenuEnable:
                if (StartLink()) MenuAfterLinkStarted();
                break;
            case MenuDisable:
                if (StopLink()) MenuAfterLinkStopped();
                break;
            default:
                break;
        }
    });
}
