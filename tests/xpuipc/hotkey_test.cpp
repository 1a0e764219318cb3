// The 56 hot-key slots: a client registers a key by writing a slot; a slot written back with the
// pressed byte set is a press for the client that registered it.
#include "fixture.h"

namespace {

using Hotkeys = ServerTest;

uint32_t SlotValue(uint8_t key, uint8_t modifiers, uint8_t pressed) {
    return key | uint32_t(modifiers) << 8 | uint32_t(pressed) << 24;
}

uint32_t SlotOffset(int n) { return 0x3210 + 4 * n; }

TEST_F(Hotkeys, APressIsLoggedForTheClientThatRegisteredTheKey) {
    Client atc, plugin;
    atc.Write32(SlotOffset(0), SlotValue('A', 2, 0));
    atc.Write32(SlotOffset(55), SlotValue(0xBA, 1, 0));
    ASSERT_TRUE(atc.Send());
    EXPECT_EQ(Control("presses"), "presses 0\n");

    // The plug-in's way: the notice byte, then the slot with the pressed byte set.
    uint8_t one = 1;
    plugin.Write(0x32FE, &one, 1);
    ASSERT_TRUE(plugin.Send());
    plugin.Write32(SlotOffset(55), SlotValue(0xBA, 1, 1));
    ASSERT_TRUE(plugin.Send());
    // A press whose key is not the registered one is still delivered, and marked.
    plugin.Write32(SlotOffset(0), SlotValue('B', 2, 1));
    ASSERT_TRUE(plugin.Send());

    char self[16];
    snprintf(self, sizeof self, "0x%lX", GetCurrentProcessId());
    EXPECT_EQ(Control("presses"), "presses 2\n"
                                  "press slot 55 key 0xBA modifiers 1 owner " + std::string(self) + " by " + self + "\n"
                                  "press slot 0 key 0x42 modifiers 2 owner " + self + " by " + self +
                                      " (not the registered key)\n");
    // The pressed flag stays in the table for the owner to poll and clear.
    EXPECT_EQ(Table32(SlotOffset(55)), SlotValue(0xBA, 1, 1));
    std::string slots = Control("hotkeys");
    EXPECT_NE(slots.find("notice byte 0x32FE = 1"), std::string::npos) << slots;
    EXPECT_NE(slots.find(std::string("slot 55: key 0xBA modifiers 1 flags 0 pressed 1 owner ") + self),
              std::string::npos);

    Control("presses clear");
    EXPECT_EQ(Control("presses"), "presses 0\n");
}

TEST_F(Hotkeys, ZeroFreesASlotAndPressesOnFreeSlotsHaveNoOwner) {
    Client c;
    std::vector<uint32_t> slots(56, 0);
    slots[3] = SlotValue('C', 0, 0);
    c.Write(0x3210, slots.data(), 56 * 4);  // the whole table in one write
    ASSERT_TRUE(c.Send());
    EXPECT_NE(Control("hotkeys").find("slot 3: key 0x43"), std::string::npos);
    slots[3] = 0;
    c.Write(0x3210, slots.data(), 56 * 4);
    ASSERT_TRUE(c.Send());
    EXPECT_NE(Control("hotkeys").find("no slot in use"), std::string::npos);
    Control("write 0x321C u32 0x01000043");  // slot 3 pressed by test equipment
    EXPECT_NE(Control("presses").find("press slot 3 key 0x43 modifiers 0 owner 0x0 by 0x0 (not the registered key)"),
              std::string::npos)
        << Control("presses");
}

TEST_F(Hotkeys, AWriteOverlappingPartOfASlotCountsForThatSlot) {
    Client c;
    c.Write32(SlotOffset(10), SlotValue('K', 0, 0));
    ASSERT_TRUE(c.Send());
    uint8_t pressed = 1;
    c.Write(SlotOffset(10) + 3, &pressed, 1);  // only the pressed byte
    ASSERT_TRUE(c.Send());
    EXPECT_NE(Control("presses").find("presses 1\npress slot 10 key 0x4B"), std::string::npos) << Control("presses");
}

}  // namespace
