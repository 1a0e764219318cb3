#pragma once
// The order channel between test equipment (the simulator host, tests) and the stand-in ATC
// program QV3.exe. Orders go to the main form as WM_COPYDATA; the form only queues them and
// answers at once, so a sender never waits on the IPC server. Results come back through a named
// mapping that QV3.exe owns: the reply area below, completed by bumping `doneSeq` and setting
// the done event. Names carry QV3.exe's process id, so several programs never share them.
#include <cstdint>

namespace atc {

// WM_COPYDATA: dwData = kOrderTag | order code; lpData = OrderHeader then the order's text.
constexpr uint32_t kOrderTag = 0x51560000;
enum Order : uint32_t {
    kOrderConnect = 1,     // open the link, register hot keys, button to "Disconnect"
    kOrderDisconnect = 2,  // unregister hot keys, close the link, button to "Connect"
    kOrderSay = 3,         // text "SECONDS TEXT": message text and display time to the server
    kOrderCaption = 4,     // text: the main form's new caption
    kOrderButton = 5,      // text: normal|enabled|disabled|wrong-caption|right-caption|grandchild|direct
    kOrderPoll = 6,        // poll the hot-key slots now
    kOrderWeather = 7,     // read the weather area back
    kOrderState = 8,       // describe the program's state
    kOrderPresses = 9,     // the presses answered so far
    kOrderHotkeys = 10,    // the hot keys and where they are registered
    kOrderQuit = 11,       // end the program (exit code kExitQuit)
};
struct OrderHeader {
    uint32_t seq;  // echoed in ReplyArea::doneSeq when the order is done
};
constexpr uint32_t kOrderTextMax = 1024;

// What the WM_COPYDATA send returns (0 also when the form did not answer in time).
constexpr intptr_t kAccepted = 1;
constexpr intptr_t kMalformed = 2;  // unknown code, bad size
constexpr intptr_t kQueueFull = 3;

constexpr uint32_t kReplyMagic = 0x33565152;  // "RQV3"
constexpr uint32_t kReplyTextMax = 16000;
struct ReplyArea {
    uint32_t magic;          // kReplyMagic once the form exists
    uint32_t ready;          // 1 once the form handle below is valid
    uint64_t form;           // the main form's window handle
    volatile uint32_t doneSeq;  // seq of the last completed order; written last
    int32_t status;          // 0 done, else the order failed and text says why
    uint32_t exchanges;      // exchanges with the server the order made
    uint32_t length;         // bytes of text (at most kReplyTextMax)
    char text[kReplyTextMax];
};

// Names formatted with the program's process id (printf "%lu").
constexpr const char* kReplyMappingFormat = "QV3StandIn.Reply.%lu";
constexpr const char* kDoneEventFormat = "QV3StandIn.Done.%lu";

// Exit codes of QV3.exe.
constexpr int kExitClosed = 0;   // WM_CLOSE
constexpr int kExitUsage = 2;    // bad command line
constexpr int kExitStartup = 3;  // could not make its window or reply area
constexpr int kExitQuit = 10;    // quit order

// The weather area it reads back on order.
constexpr uint32_t kWeatherFirst = 0xCC08;
constexpr uint32_t kWeatherSize = 0xCF86 - 0xCC08;

}  // namespace atc
