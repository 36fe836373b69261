#include "fakes.h"
#include "relay/controller_link.h"

#include <gtest/gtest.h>

using namespace veltaro;

namespace {
struct LinkRig {
    LinkRig() : link(serial, combo, dialogs, NumberFormat{'.'}, [this] { ++saves; }) {
        combo.setItems(ControllerLink::portItems());
        combo.setClickHandler([this] { link.Combo18_Click(); });
    }
    fake::Journal journal;
    fake::SerialPort serial{&journal};
    fake::Dialogs dialogs;
    ComboBox combo;
    int saves = 0;
    ControllerLink link;
};
} // namespace

TEST(ControllerLink, PortListHasSixteenItemsWithBlanksOnTheFirstThree) {
    const auto items = ControllerLink::portItems();
    ASSERT_EQ(items.size(), 16u);
    EXPECT_EQ(items[0], "Com 1 ");
    EXPECT_EQ(items[2], "Com 3 ");
    EXPECT_EQ(items[3], "Com 4");
    EXPECT_EQ(items[15], "Com 16");
}

TEST(ControllerLink, StartupOpensThenSetsTheLineSettings) {
    LinkRig rig;
    rig.serial.existing = {5};
    rig.link.OpenAtStartup("5");
    EXPECT_EQ(rig.journal.entries, (std::vector<std::string>{"serial CommPort=5", "serial open 5",
                                                             "serial Settings=4800,n,8,1"}));
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(ControllerLink, StartupWithAMissingPortTellsTheUserAndGoesOn) {
    LinkRig rig;
    rig.link.OpenAtStartup("5");
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0], "COM 5: not available. Check Com Port setting.");
    EXPECT_EQ(rig.dialogs.captions[0], "Veltaro");
    EXPECT_EQ(rig.serial.settings, "4800,n,8,1");
    EXPECT_FALSE(rig.serial.open);
    rig.link.SendFrequencyCommand("00014074");
    EXPECT_TRUE(rig.serial.sent.empty());
}

TEST(ControllerLink, SelectionReopensAndSavesOrReportsAndKeepsTheNumber) {
    struct Case {
        std::size_t item;
        bool exists;
        const char* message; // empty: opened and saved
    } cases[] = {
        {11, true, ""},
        {2, false, "COM 3 : not available. Check Com Port setting."},
        {1, false, "COM 2 : not available. Check Com Port setting."},
        {15, false, "COM 16: not available. Check Com Port setting."},
    };
    for (const auto& c : cases) {
        LinkRig rig;
        rig.serial.existing = {1};
        if (c.exists)
            rig.serial.existing.insert(static_cast<int>(c.item + 1));
        rig.serial.setPortOpen(true);
        rig.combo.pick(c.item);
        EXPECT_EQ(rig.serial.commPort(), static_cast<int>(c.item + 1));
        if (*c.message) {
            ASSERT_EQ(rig.dialogs.messages.size(), 1u);
            EXPECT_EQ(rig.dialogs.messages[0], c.message);
            EXPECT_FALSE(rig.serial.open); // the previous port was closed first
            EXPECT_EQ(rig.saves, 0);
        } else {
            EXPECT_TRUE(rig.serial.open);
            EXPECT_EQ(rig.saves, 1);
            EXPECT_TRUE(rig.dialogs.messages.empty());
        }
    }
}

TEST(ControllerLink, ReselectingTheOpenPortClosesReopensAndSaves) {
    LinkRig rig;
    rig.serial.setPortOpen(true);
    rig.journal.entries.clear();
    rig.combo.pick(0);
    EXPECT_EQ(rig.journal.entries,
              (std::vector<std::string>{"serial close", "serial CommPort=1", "serial open 1"}));
    EXPECT_EQ(rig.link.SelectedPort, "1 ");
    EXPECT_EQ(rig.saves, 1);
}

TEST(ControllerLink, SendsExactlyTheCommandWhileOpen) {
    LinkRig rig;
    rig.serial.setPortOpen(true);
    rig.link.SendFrequencyCommand("00028074");
    ASSERT_EQ(rig.serial.sent.size(), 1u);
    EXPECT_EQ(rig.serial.sent[0], "FA00028074000;");
    EXPECT_EQ(rig.serial.sent[0].size(), 14u);
}
