// The About box: its texts once loaded, OK, and System Info.
#include "about/about_box.h"
#include "fakes.h"

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
    EXPECT_EQ(rig.about.title(), "About MyApp");
    int titleChanges = 0;
    rig.about.titleChanged().subscribe([&] { ++titleChanges; });
    rig.about.load();
    EXPECT_EQ(rig.about.title(), "About Veltaro");
    EXPECT_EQ(titleChanges, 1);
    EXPECT_EQ(rig.about.control("titleLabel").text(), "Veltaro");
    EXPECT_EQ(rig.about.control("versionLabel").text(), "Version 1.2.2");
    rig.about.run(layout::Command::Ok);
    EXPECT_EQ(rig.closes, 1);
}

TEST(About, SystemInfoStartsWhatTheLocatorFindsOrSaysItIsUnavailable) {
    struct Case {
        const char* name;
        std::optional<std::string> found;
        bool readFails, startable;
    } cases[] = {
        {"found and started", "C:\\Tools\\msinfo.exe", false, true},
        {"found but cannot start", "C:\\Tools\\msinfo.exe", false, false},
        {"empty path", "", false, true},
        {"nothing found", std::nullopt, false, true},
        {"a place cannot be read", std::nullopt, true, true},
    };
    for (const auto& c : cases) {
        AboutRig rig;
        rig.locator.path = c.found;
        rig.locator.failure = c.readFails;
        if (c.startable && c.found && !c.found->empty())
            rig.launcher.startable.insert(*c.found);
        rig.about.run(layout::Command::SystemInfo);
        const bool started = !rig.launcher.started.empty();
        EXPECT_EQ(started, c.startable && c.found && !c.found->empty()) << c.name;
        EXPECT_EQ(rig.dialogs.messages, started
                                            ? std::vector<std::string>{}
                                            : std::vector<std::string>{AboutBox::UnavailableText})
            << c.name;
        EXPECT_EQ(rig.closes, 0) << "the box stays open";
    }
}
