#include "about/frm_about.h"
#include "fakes.h"
#include "main_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;

namespace {
const char* Route1 = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* Route2 = "SOFTWARE\\Microsoft\\Shared Tools Location";

struct AboutRig {
    fake::Registry registry;
    fake::FileSystem files;
    fake::Launcher launcher;
    fake::Dialogs dialogs;
    int unloads = 0;
    frmAbout about{AboutPlatform{registry, files, launcher, dialogs}, [this] { ++unloads; }};
};
} // namespace

TEST(About, TextsAfterLoad) {
    AboutRig rig;
    rig.about.Form_Load();
    EXPECT_EQ(rig.about.Caption.text(), "About Veltaro");
    EXPECT_EQ(rig.about.lblTitle.caption(), "Veltaro");
    EXPECT_EQ(rig.about.lblVersion.caption(), "Version 1.2.2");
    rig.about.cmdOK_Click();
    EXPECT_EQ(rig.unloads, 1);
}

TEST(About, SystemInfoRoutes) {
    struct Case {
        const char* name;
        bool route1;
        bool route1Startable;
        bool route2;
        bool route2File;
        const char* started; // empty: the unavailable message
    } cases[] = {
        {"route 1 present", true, true, true, true, "C:\\Tools\\msinfo.exe"},
        {"route 1 names a missing file, route 2 not tried", true, false, true, true, ""},
        {"route 2 with the tool", false, false, true, true, "C:\\MSINFO\\MSINFO32.EXE"},
        {"route 2 without the tool", false, false, true, false, ""},
        {"neither", false, false, false, false, ""},
    };
    for (const auto& c : cases) {
        AboutRig rig;
        if (c.route1)
            rig.registry.setString(Route1, "PATH", "C:\\Tools\\msinfo.exe");
        if (c.route1Startable)
            rig.launcher.startable.insert("C:\\Tools\\msinfo.exe");
        if (c.route2)
            rig.registry.setString(Route2, "MSINFO", "C:\\MSINFO");
        if (c.route2File)
            rig.files.ordinary.insert("C:\\MSINFO\\MSINFO32.EXE");
        rig.launcher.startable.insert("C:\\MSINFO\\MSINFO32.EXE");
        rig.about.cmdSysInfo_Click();
        if (*c.started) {
            ASSERT_EQ(rig.launcher.started.size(), 1u) << c.name;
            EXPECT_EQ(rig.launcher.started[0], c.started) << c.name;
            EXPECT_TRUE(rig.dialogs.messages.empty()) << c.name;
        } else {
            EXPECT_TRUE(rig.launcher.started.empty()) << c.name;
            ASSERT_EQ(rig.dialogs.messages.size(), 1u) << c.name;
            EXPECT_EQ(rig.dialogs.messages[0], "System Information Is Unavailable At This Time");
            EXPECT_EQ(rig.dialogs.captions[0], "Veltaro");
        }
        EXPECT_TRUE(rig.registry.openHandles.empty()) << c.name << ": a key was left open";
    }
}

TEST(About, RegistryIsOpenedForReadingOnly) {
    AboutRig rig;
    rig.registry.setString(Route1, "PATH", "C:\\Tools\\msinfo.exe");
    rig.launcher.startable.insert("C:\\Tools\\msinfo.exe");
    rig.about.StartSysInfo();
    EXPECT_EQ(rig.launcher.started.size(), 1u);
    ASSERT_FALSE(rig.registry.accesses.empty());
    EXPECT_EQ(rig.registry.accesses[0], 0x20019u);
}

TEST(About, GetKeyValueTerminatorsTypesAndSizes) {
    fake::Registry reg;
    std::string v = "caller";
    reg.setString("K", "terminated", "abc", true);
    reg.setString("K", "bare", "abc", false);
    reg.keys["K"]["binary"] = {3, {1, 2}};
    reg.keys["K"]["dword"] = {4, {0x10, 0x27, 0, 0}};
    reg.keys["K"]["empty"] = {1, {}};
    reg.setString("K", "large", std::string(1024, 'x'), true);
    const auto HKLM = IRegistry::HKEY_LOCAL_MACHINE_ROOT;

    EXPECT_TRUE(GetKeyValue(reg, HKLM, "K", "terminated", v));
    EXPECT_EQ(v, "abc");
    EXPECT_TRUE(GetKeyValue(reg, HKLM, "K", "bare", v));
    EXPECT_EQ(v, "abc");
    v = "caller";
    EXPECT_TRUE(GetKeyValue(reg, HKLM, "K", "binary", v));
    EXPECT_EQ(v, "caller");
    EXPECT_TRUE(GetKeyValue(reg, HKLM, "K", "dword", v));
    EXPECT_EQ(v, "10000");
    EXPECT_FALSE(GetKeyValue(reg, HKLM, "K", "missing", v));
    EXPECT_EQ(v, "");
    v = "caller";
    EXPECT_FALSE(GetKeyValue(reg, HKLM, "K", "large", v)) << "1025 bytes do not fit";
    EXPECT_EQ(v, "");
    EXPECT_FALSE(GetKeyValue(reg, HKLM, "Nope", "x", v));
    EXPECT_THROW(GetKeyValue(reg, HKLM, "K", "empty", v), Error);
    EXPECT_TRUE(reg.openHandles.empty());
}

TEST(About, HelpIndexAndAboutMenu) {
    veltaro::test::MainRig rig;
    auto& f = rig.load();
    f.mnuIndex_Click();
    ASSERT_EQ(rig.help.calls.size(), 1u);
    EXPECT_EQ(rig.help.calls[0], "3 C:\\Program Files\\Helpman3\\Projects\\Veltaro\\Veltaro.hlp");
    f.mnuAbout_Click();
    f.mnuAbout_Click();
    EXPECT_EQ(rig.window.aboutShown, 2);
}
