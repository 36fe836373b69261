// Where PEGASUS.OUT goes, through the main window's wiring: the setting, the program's folder,
// the user's state folder, and what the user is told.
#include "main_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::MainRig;

// Each case relays twice, the second time with the program's folder writable again: the place
// is chosen once for the run, and the user is told once.
TEST(FrequencyFilePlace, ChosenAtTheFirstWriteAndKeptForTheRun) {
    const std::string state = "/state/Veltaro/PEGASUS.OUT", refused = "p.txt: Permission denied";
    // name, program's folder writable, [Files] FrequencyFile, write failure, folder failure;
    // where the file is written, and what is posted.
    using Case = std::tuple<const char*, bool, std::string, std::string, std::string, std::string,
                            std::string>;
    const Case cases[] = {
        {"portable", true, "", "", "", "/prog/PEGASUS.OUT", ""},
        {"installed", false, "", "", "", state,
         "PEGASUS.OUT cannot be written in the program's folder. It is written to " + state + "."},
        {"named", false, "/mine/p.txt", "", "", "/mine/p.txt", ""},
        {"named, unwritable", true, "/mine/p.txt", refused, "", "", refused},
        {"state folder refused", false, "", "", "/state: Read-only", "", "/state: Read-only"},
    };
    for (const auto& [name, writable, setting, writeFailure, folderFailure, writtenTo, expected] :
         cases) {
        SCOPED_TRACE(name);
        MainRig rig;
        if (!writable)
            rig.files.readOnly.insert("/prog");
        rig.settings.values["Veltaro/Files/FrequencyFile"] = setting;
        rig.files.failure = writeFailure;
        rig.files.folderFailure = folderFailure;
        rig.settings.set("CheckHRD", "1");
        rig.load(); // relays 7.074 MHz
        rig.files.readOnly.clear();
        rig.link.advise("14074000");
        std::map<std::string, std::string> written;
        if (!writtenTo.empty())
            written[writtenTo] = "14.074000\r\n";
        EXPECT_EQ(rig.files.files, written);
        EXPECT_EQ(rig.files.folders.count("/state/Veltaro"), writtenTo == state);
        std::string posted;
        for (const auto& [text, caption] : rig.dialogs.posted)
            posted += text;
        EXPECT_EQ(posted, expected);
    }
}
