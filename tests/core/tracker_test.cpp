#include "tracker_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::TrackerRig;

TEST(Tracker, RelaysOnlyChangesOfTenKHzOrMoreFromTheLastRelay) {
    struct Step {
        const char* reading;
        bool relayed;
        const char* label7;
        const char* label3;
    } steps[] = {
        {"5", false, "5", "0"},
        {"14074", true, "14074", "14074"},
        {"14083", false, "14083", "14074"},
        {"14084", true, "14084", "14084"},
        {"14075", false, "14075", "14084"},
        {"14074", true, "14074", "14074"},
        {"14065", false, "14065", "14074"},
        {"14064", true, "14064", "14064"},
    };
    TrackerRig rig;
    std::size_t sent = 0;
    for (const auto& s : steps) {
        rig.commander(s.reading);
        EXPECT_EQ(rig.serial.sent.size(), sent + (s.relayed ? 1 : 0)) << s.reading;
        sent = rig.serial.sent.size();
        EXPECT_EQ(rig.label7.caption(), s.label7) << s.reading;
        EXPECT_EQ(rig.label3.caption(), s.label3) << s.reading;
    }
    EXPECT_EQ(rig.serial.sent.back(), "FA00014064000;");
    EXPECT_EQ(rig.text3.text(), "14.064000");
}

TEST(Tracker, UnitsRoundingAndFormatsPerSource) {
    struct Case {
        char source; // C commander (kHz), T TRX (MHz), H HRD (MHz)
        const char* reading;
        std::int32_t newKHz;
        const char* mhzText;
        const char* command;
    } cases[] = {
        {'C', "14074.6", 14075, "14.074600", "FA00014075000;"},
        {'T', "14.0746", 14074, "14.074600", "FA00014074000;"},
        {'C', "14074.5", 14074, "14.074500", "FA00014074000;"},
        {'C', "14075.5", 14076, "14.075500", "FA00014076000;"},
        {'C', "9999", 9999, "09.999000", "FA00009999000;"},
        {'C', "10000", 10000, "10.000000", "FA00010000000;"},
        {'C', "144174", 144174, "144.17400", "FA00144174000;"},
        {'T', "7.074", 7074, "07.074000", "FA00007074000;"},
        {'T', "10", 10000, "10.000000", "FA00010000000;"},
        {'T', "100", 100000, "100.00000", "FA00100000000;"},
        {'T', "28.074", 28074, "28.074000", "FA00028074000;"},
        {'H', "50.313", 50313, "50.313000", "FA00050313000;"},
    };
    for (const auto& c : cases) {
        TrackerRig rig;
        if (c.source == 'C') {
            rig.commander(c.reading);
        } else if (c.source == 'T') {
            rig.tracker.TrxFreq = c.reading;
            rig.tracker.UpdateFromTRX();
        } else {
            rig.tracker.HrdFreq = c.reading;
            rig.tracker.UpdateFromHRD();
        }
        EXPECT_EQ(rig.tracker.NewKHz, c.newKHz) << c.reading;
        EXPECT_EQ(rig.tracker.FreqMHzText, c.mhzText) << c.reading;
        ASSERT_EQ(rig.serial.sent.size(), 1u) << c.reading;
        EXPECT_EQ(rig.serial.sent[0], c.command) << c.reading;
        EXPECT_EQ(rig.text3.text(), c.mhzText) << c.reading;
        EXPECT_EQ(rig.pegasus(), std::string(c.mhzText) + "\r\n") << c.reading;
    }
}

TEST(Tracker, EmptyCommanderTextCountsAsZero) {
    TrackerRig rig;
    rig.commander("");
    EXPECT_EQ(rig.tracker.CommanderFreq, "0");
    EXPECT_TRUE(rig.serial.sent.empty());
    EXPECT_EQ(rig.label7.caption(), "0");
    EXPECT_EQ(rig.label3.caption(), "0");

    rig.commander("14074");
    rig.commander("");
    EXPECT_EQ(rig.tracker.FreqMHzText, "0.000000");
    EXPECT_EQ(rig.serial.sent.back(), "FA00000000000;");
    EXPECT_EQ(rig.label3.caption(), "0");
}

TEST(Tracker, RegionalCommaSeparatorIsReadAndWritten) {
    TrackerRig rig(NumberFormat{','});
    rig.commander("14074,6");
    EXPECT_EQ(rig.tracker.FreqMHzText, "14,074600");
    EXPECT_EQ(rig.pegasus(), "14,074600\r\n");
    rig.tracker.TrxFreq = "21,0746";
    rig.tracker.UpdateFromTRX();
    EXPECT_EQ(rig.serial.sent.back(), "FA00021074000;");
    rig.tracker.CommanderFreq = "14.074";
    EXPECT_THROW(rig.tracker.UpdateFromCommander(), ConversionError);
}

TEST(Tracker, FailuresLeaveTheDocumentedState) {
    // Not a number: nothing changes.
    {
        TrackerRig rig;
        rig.commander("14074");
        rig.tracker.CommanderFreq = "abc";
        EXPECT_THROW(rig.tracker.UpdateFromCommander(), ConversionError);
        EXPECT_EQ(rig.tracker.NewKHz, 14074);
        EXPECT_EQ(rig.label7.caption(), "14074");
        rig.tracker.CommanderFreq = "   ";
        EXPECT_THROW(rig.tracker.UpdateFromCommander(), ConversionError);
    }
    // Out of the 32-bit kHz range: nothing changes.
    {
        TrackerRig rig;
        rig.commander("14074");
        rig.tracker.CommanderFreq = "3000000000";
        EXPECT_THROW(rig.tracker.UpdateFromCommander(), OverflowError);
        EXPECT_EQ(rig.tracker.NewKHz, 14074);
        rig.tracker.TrxFreq = "2147484";
        EXPECT_THROW(rig.tracker.UpdateFromTRX(), OverflowError);
        EXPECT_EQ(rig.tracker.NewKHz, 14074);
    }
    // The difference overflows: NewKHz is kept, labels and relay are not touched.
    {
        TrackerRig rig;
        rig.commander("2147483647");
        ASSERT_EQ(rig.tracker.LastSentKHz, 2147483647);
        rig.tracker.CommanderFreq = "-10";
        EXPECT_THROW(rig.tracker.UpdateFromCommander(), OverflowError);
        EXPECT_EQ(rig.tracker.NewKHz, -10);
        EXPECT_EQ(rig.label7.caption(), "2147483647");
        EXPECT_EQ(rig.tracker.LastSentKHz, 2147483647);
        EXPECT_EQ(rig.serial.sent.size(), 1u);
    }
}

TEST(Tracker, FileFailureStillSendsAndRefreshesTheDisplay) {
    TrackerRig rig;
    rig.fs.failure = "PEGASUS.OUT: Permission denied";
    rig.tracker.CommanderFreq = "14074";
    EXPECT_THROW(rig.tracker.UpdateFromCommander(), FileError);
    EXPECT_EQ(rig.serial.sent.back(), "FA00014074000;");
    EXPECT_EQ(rig.tracker.LastSentKHz, 14074);
    EXPECT_EQ(rig.text3.text(), "14.074000");
    EXPECT_EQ(rig.label7.caption(), "14074");
    EXPECT_EQ(rig.label3.caption(), "14074");
    EXPECT_EQ(rig.tracker.Relays, 0u);
}

TEST(Tracker, PortWriteFailureStillWritesTheFile) {
    TrackerRig rig;
    rig.serial.failWrites = true;
    rig.tracker.CommanderFreq = "7074";
    EXPECT_THROW(rig.tracker.UpdateFromCommander(), PortError);
    EXPECT_EQ(rig.pegasus(), "07.074000\r\n");
    EXPECT_EQ(rig.label3.caption(), "7074");
}

TEST(Tracker, ClosedPortSkipsTheCommandOnly) {
    TrackerRig rig;
    rig.serial.open = false;
    rig.commander("7074");
    EXPECT_TRUE(rig.serial.sent.empty());
    EXPECT_EQ(rig.pegasus(), "07.074000\r\n");
    EXPECT_EQ(rig.text3.text(), "07.074000");
    EXPECT_EQ(rig.label3.caption(), "7074");
}

TEST(Tracker, FileKeepsOnlyTheLastRelayAndIgnoresSmallChanges) {
    TrackerRig rig;
    rig.commander("7074");
    rig.commander("14074");
    EXPECT_EQ(rig.pegasus(), "14.074000\r\n");
    const int writes = rig.fs.writes;
    rig.commander("14080");
    EXPECT_EQ(rig.fs.writes, writes);
}
