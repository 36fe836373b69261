// The COM automation client against the FTLink stand-in, a local server registered from its
// embedded type library.
#include "platform/errors.h"
#include "platform/win32/com_automation.h"
#include "sources/trx_source.h"
#include "support.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

// The frequency the stand-in reports, read by it on every call.
void setStandInMHz(const char* mhz) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\VeltaroTest\\FTLink", "MHz", REG_SZ,
                              mhz, static_cast<DWORD>(strlen(mhz) + 1)),
              ERROR_SUCCESS);
}

long standIn(const char* arg) {
    return wintest::run("\"" + wintest::binDir() + "\\ftlink_standin.exe\" " + arg);
}

class Com : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        setStandInMHz("14.074");
    }
    void TearDown() override {
        standIn("/unregserver");
        CoUninitialize();
    }
    veltaro::win32::ComAutomationClient client;
    wintest::Form form;
};

} // namespace

TEST_F(Com, UnregisteredClassFailsAndTheTickedBoxReportsIt) {
    ASSERT_EQ(standIn("/unregserver"), 0);
    EXPECT_THROW(client.createTrxServer(), veltaro::LinkError);
    auto& main = form.build(nullptr, nullptr, &client);
    main.CheckTRX.click();
    EXPECT_EQ(form.dialogs.messages,
              std::vector<std::string>{veltaro::TrxSource::NotAvailableText});
    EXPECT_EQ(form.dialogs.captions, std::vector<std::string>{"Veltaro"});
    EXPECT_EQ(main.trxSource().TRX, nullptr);
    EXPECT_FALSE(main.tickNeeded());
}

// Places 7 and 246 across processes; the frequency object outlives the first object.
TEST_F(Com, PolledFrequencyReachesTheTracker) {
    ASSERT_EQ(standIn("/regserver"), 0);
    auto& main = form.build(nullptr, nullptr, &client);
    main.CheckTRX.click();
    ASSERT_TRUE(form.dialogs.messages.empty());
    ASSERT_TRUE(main.tickNeeded());
    main.Timer1_Timer();
    EXPECT_EQ(main.Label3.caption(), "14074");
    setStandInMHz("7.0");
    main.Timer1_Timer();
    EXPECT_EQ(main.tracker().TrxFreq, "7");
    EXPECT_EQ(main.Label3.caption(), "7000");
    EXPECT_EQ(form.files.files.at(form.files.inProgramFolder("PEGASUS.OUT")), "07.000000\r\n");
    EXPECT_EQ(form.system.sleeps.size(), 2u);
}
