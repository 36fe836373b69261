// The About box: its texts once loaded, OK, and System Info.
#include "fakes.h"
#include "view/about_box.h"

#include <gtest/gtest.h>

using namespace veltaro;

namespace {
struct AboutRig {
    fake::SystemInfoLocator locator;
    fake::Launcher launcher;
    fake::Dialogs dialogs;
    int closes = 0;
    AboutBox about{AboutPlatform{locator, launcher, dialogs}, [this] { ++closes; }};
};
} // namespace

TEST(About, TextsAfterLoadAndOk) {
    AboutRig rig;
    rig.about.load(); // both front ends show the loaded title (tests/ui, tests/win32)
    EXPECT_EQ(rig.about.title(), "About Veltaro");
    EXPECT_EQ(rig.about.control("titleLabel").text(), "Veltaro");
    EXPECT_EQ(rig.about.control("versionLabel").text(), "Version 1.2.2");
    rig.about.run(layout::Command::Ok);
    EXPECT_EQ(rig.closes, 1);
}

TEST(About, SystemInfoStartsWhatTheLocatorFindsOrSaysItIsUnavailable) {
    // What the locator finds, whether reading a place fails, whether the program starts.
    const std::tuple<std::optional<std::string>, bool, bool> cases[] = {
        {"C:\\Tools\\msinfo.exe", false, true}, // started
        {"C:\\Tools\\msinfo.exe", false, false},
        {"", false, true},
        {std::nullopt, false, true},
        {std::nullopt, true, true},
    };
    for (const auto& [found, readFails, startable] : cases) {
        SCOPED_TRACE(found.value_or("nothing found") + (readFails ? ", a place unreadable" : ""));
        AboutRig rig;
        rig.locator.path = found;
        rig.locator.failure = readFails;
        if (startable && found && !found->empty())
            rig.launcher.startable.insert(*found);
        rig.about.run(layout::Command::SystemInfo);
        const bool started = !rig.launcher.started.empty();
        EXPECT_EQ(started, startable && found && !found->empty());
        EXPECT_EQ(rig.dialogs.messages, started
                                            ? std::vector<std::string>{}
                                            : std::vector<std::string>{AboutBox::UnavailableText});
        EXPECT_EQ(rig.closes, 0) << "the box stays open";
    }
}
