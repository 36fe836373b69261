// The port list's present devices, the numbers they are stored under, and a device that goes away
// and comes back.
#include "main_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::MainRig;

namespace {
PresentPort usb(const std::string& name) {
    return {"/dev/serial/by-id/" + name + " (FT232R)", 0, "/dev/serial/by-id/" + name};
}
} // namespace

TEST(PortList, PresentDevicesGetTheirRememberedNumberElseTheFirstFreeFromSeventeen) {
    std::map<int, std::string> full;
    for (int n = 17; n <= 255; ++n)
        full[n] = "/dev/other";
    // remembered, present; the numbers of the ports kept
    const std::tuple<std::map<int, std::string>, std::vector<PresentPort>, std::vector<int>>
        cases[] = {
            {{{5, usb("a").device}, {17, usb("b").device}}, {usb("b"), usb("a")}, {17, 5}},
            {{{17, "/dev/x"}, {19, "/dev/y"}}, {usb("a"), usb("b"), usb("c")}, {18, 20, 21}},
            {{}, {{"Com 17", 17, "COM17"}, usb("a")}, {17, 18}}, // a platform's number is taken
            {full, {usb("a"), {"Com 40", 40, "COM40"}}, {40}},   // no number left: dropped
        };
    for (const auto& [remembered, present, numbers] : cases) {
        std::vector<int> got;
        for (const auto& p : ControllerLink::numberPorts(present, remembered))
            got.push_back(p.number);
        EXPECT_EQ(got, numbers) << present.size();
    }
}

// Picking a present device remembers it and stores its number; a device plugged in later shows
// once the list drops down, and one that does not open is told by its name. The next start shows
// the stored device by name.
TEST(PortList, PickedDeviceIsRememberedStoredAsANumberAndShownByName) {
    MainRig rig;
    rig.serial.remembered = {{17, "/dev/serial/by-id/other"}};
    rig.serial.present = {usb("a")};
    rig.serial.existing = {18};
    rig.load();
    Control& list = rig.control("portList");
    list.pick(16);
    EXPECT_EQ(rig.serial.remembered[18], usb("a").device);
    EXPECT_EQ(rig.serial.opened, 18);
    EXPECT_EQ(rig.settings.get("ComPort"), "18");
    rig.serial.present.push_back(usb("b"));
    rig.window().portListOpening();
    list.pick(17);
    EXPECT_EQ(rig.serial.remembered[19], usb("b").device);
    EXPECT_EQ(rig.dialogs.messages.back(),
              usb("b").device + ": not available. Check Com Port setting.");

    MainRig next;
    next.settings.values = rig.settings.values; // ComPort=18: the failed pick saved nothing
    next.serial.remembered = rig.serial.remembered;
    next.serial.present = rig.serial.present;
    EXPECT_EQ(next.load().control("portList").text(), usb("a").item);
}

// The device goes away (noticed by the event loop or by a write): told once; each tick tries one
// open; once back, the last command goes again. Picking a port or closing ends the waiting.
TEST(PortLoss, ToldOnceReopenedByTheTickAndTheLastCommandSentAgain) {
    for (bool byWrite : {false, true}) {
        MainRig rig;
        rig.settings.set("CheckCommander", "1");
        auto& w = rig.load();
        int stateChanges = 0;
        w.pollStateChanged().subscribe([&] { ++stateChanges; });
        if (byWrite)
            rig.serial.existing.erase(1);
        else
            rig.serial.vanish();
        rig.link.advise("21074");
        rig.serial.lostHandler(); // a late report of the same loss
        ASSERT_EQ(rig.dialogs.posted.size(), 1u) << byWrite;
        EXPECT_EQ(rig.dialogs.posted[0].first, "COM 1: the port has gone away. Veltaro will open "
                                               "it again when it comes back.");
        EXPECT_TRUE(w.reopenNeeded());
        rig.journal.entries.clear();
        for (int tick = 0; tick < 3; ++tick)
            w.reopenTick();
        EXPECT_EQ(rig.journal.entries, std::vector<std::string>(3, "serial open failed COM1"));
        rig.serial.existing.insert(1);
        w.reopenTick();
        w.reopenTick();
        EXPECT_EQ(rig.serial.sent, (std::vector<std::string>{"FA00014074000;", "FA00021074000;"}));
        EXPECT_FALSE(w.reopenNeeded());
        EXPECT_EQ(stateChanges, 2) << byWrite;

        rig.serial.vanish();
        if (byWrite)
            rig.control("portList").pick(1);
        else
            w.unload();
        EXPECT_FALSE(rig.window().controller().waitingForDevice()) << byWrite;
    }
}
