// The relay: the change rule, units and formats of each reading, failures, and the serial port
// of the antenna controller.
#include "tracker_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::TrackerRig;

TEST(Tracker, RelaysOnlyChangesOfTenKHzOrMoreFromTheLastRelay) {
    // The reading, whether it is relayed, then what the received and relayed labels show.
    const std::tuple<const char*, bool, const char*, const char*> steps[] = {
        {"5", false, "5", "0"},
        {"", false, "0", "0"},
        {"14074", true, "14074", "14074"},
        {"14083", false, "14083", "14074"},
        {"14084", true, "14084", "14084"},
        {"14075", false, "14075", "14084"},
        {"14074", true, "14074", "14074"},
        {"14065", false, "14065", "14074"},
        {"14064", true, "14064", "14064"},
        {"", true, "0", "0"},
    };
    TrackerRig rig;
    for (const auto& [reading, relays, received, relayed] : steps) {
        const std::size_t sent = rig.serial.sent.size();
        rig.commander(reading);
        EXPECT_EQ(rig.serial.sent.size(), sent + relays) << reading;
        EXPECT_EQ(rig.files.writes, int(rig.serial.sent.size())) << reading;
        EXPECT_EQ(rig.shown.received, received) << reading;
        EXPECT_EQ(rig.shown.relayed, relayed) << reading;
    }
    EXPECT_EQ(rig.serial.sent.back(), "FA00000000000;");
    EXPECT_EQ(rig.shown.mhzText, "0.000000");
    EXPECT_EQ(rig.pegasus(), "0.000000\r\n"); // only the last relay
}

// Commander's kHz text rounds to the nearest kHz, halves to even; a reading in MHz is floored.
// The MHz text's shapes are Convert.FormatsMHzText.
TEST(Tracker, UnitsRoundingAndFormatsPerReading) {
    const std::tuple<const char*, double, std::int32_t, const char*> cases[] = {
        {"14074.6", 0, 14075, "14.074600"}, {nullptr, 14.0746, 14074, "14.074600"},
        {"14074.5", 0, 14074, "14.074500"}, {"14075.5", 0, 14076, "14.075500"},
        {"9999", 0, 9999, "09.999000"},     {nullptr, 7.074, 7074, "07.074000"},
    };
    for (const auto& [commanderText, mhz, receivedKHz, mhzText] : cases) {
        TrackerRig rig;
        if (commanderText)
            rig.commander(commanderText);
        else
            rig.megahertz(mhz);
        const std::string what = commanderText ? commanderText : std::to_string(mhz);
        EXPECT_EQ(rig.session().tracker().receivedKHz(), receivedKHz) << what;
        EXPECT_EQ(rig.shown.mhzText, mhzText) << what;
        ASSERT_EQ(rig.serial.sent.size(), 1u) << what;
        EXPECT_EQ(rig.serial.sent[0], ControllerLink::frequencyCommand(receivedKHz)) << what;
        EXPECT_EQ(rig.pegasus(), std::string(mhzText) + "\r\n") << what;
    }
}

TEST(Tracker, RegionalCommaSeparatorIsReadAndWritten) {
    TrackerRig rig(NumberFormat{','});
    rig.commander("14074,6");
    EXPECT_EQ(rig.pegasus(), "14,074600\r\n");
    rig.megahertz(21.0746);
    EXPECT_EQ(rig.serial.sent.back(), "FA00021074000;");
    rig.commander("14.074"); // not a number here: nothing changes
    EXPECT_EQ(rig.serial.sent.size(), 2u);
    EXPECT_EQ(rig.shown.received, "21074");
    EXPECT_EQ(rig.shown.notices, std::vector<std::string>{});
}

// Readings that are not numbers or out of range change nothing, and nothing is told.
TEST(Tracker, ReadingsThatCannotBeUsedChangeNothing) {
    TrackerRig rig;
    rig.commander("14074");
    rig.journal.entries.clear();
    for (const char* bad : {"abc", "   ", "3000000000"})
        rig.commander(bad);
    rig.megahertz(2147484);
    EXPECT_EQ(rig.session().tracker().receivedKHz(), 14074);
    EXPECT_EQ(rig.shown.received, "14074");
    EXPECT_EQ(rig.journal.entries, std::vector<std::string>{}) << "nothing sent, written or told";
    EXPECT_EQ(rig.shown.notices, std::vector<std::string>{});

    // The distance overflows: the displays and the relay are not touched.
    TrackerRig top;
    top.commander("2147483647");
    top.commander("-10");
    EXPECT_EQ(top.shown.received, "2147483647");
    EXPECT_EQ(top.session().tracker().relayedKHz(), 2147483647);
    EXPECT_EQ(top.serial.sent.size(), 1u);
}

// A failing output neither stops the other output nor leaves the displays behind.
TEST(Tracker, EachOutputFailsOnItsOwn) {
    struct Case {
        const char* name;
        bool fileFails, portFails, portClosed;
        bool sent, written;
        const char* why;    // the outcome's, when not sent
        const char* notice; // posted once
    } cases[] = {
        {"file refused", true, false, false, true, false, "", "PEGASUS.OUT: Permission denied"},
        {"port write fails", false, true, false, false, true,
         "COM 1 could not be written (Write failed)", "Write failed"},
        {"port closed", false, false, true, false, true, "COM 1 is not open", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackerRig rig;
        if (c.fileFails)
            rig.files.failure = "PEGASUS.OUT: Permission denied";
        rig.serial.failWrites = c.portFails;
        if (c.portClosed)
            rig.serial.close();
        rig.commander("7074");
        EXPECT_EQ(!rig.serial.sent.empty(), c.sent);
        EXPECT_EQ(rig.pegasus() == "07.074000\r\n", c.written);
        EXPECT_EQ(rig.shown.relayed, "7074");
        EXPECT_EQ(rig.shown.mhzText, "07.074000");
        ASSERT_TRUE(rig.shown.outcome);
        EXPECT_EQ(rig.shown.outcome->written, c.sent);
        EXPECT_EQ(rig.shown.outcome->why, c.why);
        EXPECT_EQ(rig.shown.notices,
                  c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{});
    }
}

// The command reaches the wire before the file is written or anything is shown.
TEST(Tracker, SendsBeforeTheFileAndTheDisplays) {
    TrackerRig rig;
    rig.commander("7074");
    EXPECT_EQ(rig.journal.entries,
              (std::vector<std::string>{"serial send FA00007074000;", "told command FA00007074000;",
                                        "read FrequencyFile", "file /prog/PEGASUS.OUT 07.074000",
                                        "told reading 7074"}));
}

TEST(ControllerLink, PickClosesThenOpensAndReportsAFailureWithTheItemText) {
    // The item picked, whether its port exists, the message (empty: opened).
    const std::tuple<std::size_t, bool, const char*> cases[] = {
        {0, true, ""},
        {11, true, ""},
        {2, false, "COM 3 : not available. Check Com Port setting."}, // items 1-3 end in a blank
        {3, false, "COM 4: not available. Check Com Port setting."},
        {15, false, "COM 16: not available. Check Com Port setting."},
    };
    for (const auto& [item, exists, message] : cases) {
        fake::Journal journal;
        fake::SerialLine serial{&journal};
        std::vector<std::string> notices;
        ControllerLink link(serial, [&](const Notice& n) { notices.push_back(n.text); });
        const int n = static_cast<int>(item + 1);
        serial.existing = {1};
        if (exists)
            serial.existing.insert(n);
        serial.open(1, 4800);
        journal.entries.clear();
        const bool opened = link.onPortPicked(ControllerLink::portItems()[item]);
        EXPECT_EQ(journal.entries.front(), "serial close") << item;
        EXPECT_EQ(link.portNumber(), n) << "kept for the next save, opened or not";
        EXPECT_EQ(opened, !*message);
        EXPECT_EQ(serial.isOpen(), !*message);
        EXPECT_EQ(notices,
                  *message ? std::vector<std::string>{message} : std::vector<std::string>{});
    }
}
