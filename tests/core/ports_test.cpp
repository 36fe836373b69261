// The port list's present devices, the numbers they are stored under, and a device that goes away
// and comes back.
#include "main_rig.h"

#include <gtest/gtest.h>

#include <set>

using namespace veltaro;
using veltaro::test::MainRig;

namespace {
PresentPort usb(const std::string& name) {
    return {"/dev/serial/by-id/" + name + " (FT232R)", 0, "/dev/serial/by-id/" + name};
}

// Every number from 17 to 255 remembered, for "/dev/d<n>".
std::map<int, std::string> allRemembered() {
    std::map<int, std::string> all;
    for (int n = 17; n <= 255; ++n)
        all[n] = "/dev/d" + std::to_string(n);
    return all;
}

// The remembered devices present, but those numbered in `away`.
std::vector<PresentPort> rememberedPresent(const std::set<int>& away = {}) {
    std::vector<PresentPort> present;
    for (const auto& [n, device] : allRemembered())
        if (!away.count(n))
            present.push_back({device, 0, device});
    return present;
}
} // namespace

TEST(PortList, PresentDevicesGetTheirNumberElseAFreeOneElseThatOfTheDeviceAbsentLongest) {
    using LastSeen = ControllerLink::LastSeen;
    const auto all = allRemembered();
    LastSeen seenLately; // every remembered device seen at the 9th refresh, but three
    for (const auto& [n, device] : all)
        seenLately[device] = 9;
    seenLately["/dev/d40"] = 2;
    seenLately["/dev/d30"] = 3;
    seenLately["/dev/d50"] = 3;
    auto with = [](std::vector<PresentPort> ports, std::vector<PresentPort> more) {
        ports.insert(ports.begin(), more.begin(), more.end());
        return ports;
    };
    struct Case {
        std::map<int, std::string> remembered;
        std::vector<PresentPort> present;
        LastSeen lastSeen;
        int kept;
        std::vector<int> usbNumbers; // those given to the usb() devices, in order
    } cases[] = {
        {{{5, usb("a").device}, {17, usb("b").device}}, {usb("b"), usb("a")}, {}, 0, {17, 5}},
        {{{17, "/dev/x"}, {19, "/dev/y"}}, {usb("a"), usb("b"), usb("c")}, {}, 0, {18, 20, 21}},
        {{}, {{"Com 17", 17, "COM17"}, usb("a")}, {}, 0, {18}}, // a platform's number is taken
        // every number remembered: the entries whose device is away, longest first
        {all, {usb("a"), usb("b")}, {}, 0, {17, 18}}, // none seen this run: the lowest
        {all, with(rememberedPresent({200}), {usb("a")}), {}, 0, {200}},
        {all,
         with(rememberedPresent({30, 40, 50, 60}), {usb("a"), usb("b"), usb("c")}),
         seenLately,
         0,
         {40, 30, 50}},
        {all, {usb("a")}, {}, 17, {18}}, // the port in use keeps its entry
        {all, {{"Com 17", 17, "COM17"}, usb("a")}, {}, 0, {18}},
        // nothing left: no number
        {all, with(rememberedPresent(), {usb("a")}), {}, 0, {0}},
        {all, with(rememberedPresent({200}), {usb("a"), usb("b")}), {}, 200, {0, 0}},
    };
    for (const auto& c : cases) {
        std::vector<int> got;
        for (const auto& p :
             ControllerLink::numberPorts(c.present, c.remembered, c.lastSeen, c.kept))
            if (p.device.starts_with("/dev/serial/"))
                got.push_back(p.number);
        EXPECT_EQ(got, c.usbNumbers) << c.present.size() << " present, kept " << c.kept;
    }
}

// The list tracks when each remembered device was last present; a new device gets the number of
// the one away longest. A device no number is left for is told once.
TEST(PortList, NumbersGoBackToTheDeviceAbsentLongestAndNoneDropsSilently) {
    MainRig rig;
    rig.serial.remembered = allRemembered();
    rig.serial.present = rememberedPresent();
    rig.serial.existing = {30};
    auto& w = rig.load();
    rig.serial.present = rememberedPresent({30});
    w.portListOpening();
    rig.serial.present = rememberedPresent({20, 30});
    w.portListOpening();
    rig.serial.present.push_back(usb("a"));
    w.portListOpening();
    Control& list = rig.control("portList");
    list.pick(list.items().size() - 2);                    // the last is "Network controller..."
    EXPECT_EQ(rig.serial.remembered[30], usb("a").device); // d30 was away since before d20
    EXPECT_EQ(rig.settings.get("ComPort"), "30");
    ASSERT_TRUE(rig.dialogs.posted.empty());

    rig.serial.present = rememberedPresent({30});
    rig.serial.present.push_back(usb("a"));
    rig.serial.present.push_back(usb("b"));
    rig.serial.present.push_back(usb("c"));
    w.portListOpening();
    w.portListOpening();
    EXPECT_EQ(rig.dialogs.posted.size(), 1u);
    EXPECT_EQ(rig.dialogs.posted.at(0).first,
              "No port number is left for " + usb("b").device + ", " + usb("c").device +
                  ": every number from 17 to 255 is in use. Unplug a serial device you do not "
                  "use, then open the port list again.");
    EXPECT_EQ(list.items().size(), 16 + 239 + 1u); // the devices with a number, the network item
}

// The stored number shows as its device's item at the next start, from the first number beyond
// the fixed items; the stored port's entry is not given to another device while it is away.
TEST(PortList, NextStartShowsTheStoredDeviceAndKeepsItsNumber) {
    const std::tuple<std::string, std::map<int, std::string>, std::vector<PresentPort>, std::string>
        cases[] = {
            {"16", {{16, usb("a").device}}, {usb("a")}, "Com 16"},
            {"17", {{17, usb("a").device}}, {usb("a")}, usb("a").item},
            {"17", allRemembered(), {usb("a")}, "Com 17"},
        };
    for (const auto& [stored, remembered, present, shown] : cases) {
        MainRig rig;
        rig.settings.set("ComPort", stored);
        rig.serial.remembered = remembered;
        rig.serial.present = present;
        EXPECT_EQ(rig.load().control("portList").text(), shown) << stored;
    }
}

// Picking a present device remembers it and stores its number; a device plugged in later shows
// once the list drops down, and one that does not open is told by its name. (The next start shows
// it by name: PortList.NextStartShowsTheStoredDeviceAndKeepsItsNumber.)
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
    EXPECT_EQ(rig.settings.get("ComPort"), "18") << "the failed pick saved nothing";
}

// The device goes away (noticed by the event loop or by a write): told once; each tick tries one
// open; once back, the last command goes again. Picking a port or closing ends the waiting.
TEST(PortLoss, ToldOnceReopenedByTheTickAndTheLastCommandSentAgain) {
    for (bool byWrite : {false, true}) {
        MainRig rig;
        rig.settings.set("CheckCommander", "1");
        auto& w = rig.load();
        EXPECT_FALSE(rig.reopenRuns());
        if (byWrite)
            rig.serial.existing.erase(1);
        else
            rig.serial.vanish();
        rig.link.advise("21074");
        rig.serial.lostHandler(); // a late report of the same loss
        ASSERT_EQ(rig.dialogs.posted.size(), 1u) << byWrite;
        EXPECT_EQ(rig.dialogs.posted[0].first, "COM 1: the port has gone away. Veltaro will open "
                                               "it again when it comes back.");
        EXPECT_TRUE(rig.reopenRuns());
        rig.journal.entries.clear();
        rig.elapse(3 * RelaySession::ReopenIntervalMs);
        EXPECT_EQ(rig.journal.entries, std::vector<std::string>(3, "serial open failed COM1"));
        rig.serial.existing.insert(1);
        rig.elapse(2 * RelaySession::ReopenIntervalMs);
        EXPECT_EQ(rig.serial.sent, (std::vector<std::string>{"FA00014074000;", "FA00021074000;"}));
        EXPECT_FALSE(rig.reopenRuns());

        rig.serial.vanish();
        if (byWrite)
            rig.control("portList").pick(1);
        else
            w.unload();
        EXPECT_FALSE(rig.session().controller().waitingForDevice()) << byWrite;
        EXPECT_FALSE(rig.reopenRuns()) << byWrite;
    }
}
