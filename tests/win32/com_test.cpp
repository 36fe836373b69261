// The COM automation client against the FTLink stand-in, a local server registered from its
// embedded type library.
#include "platform/errors.h"
#include "platform/win32/com_automation.h"
#include "sources/trx_source.h"
#include "support.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

constexpr const char* ControlKey = "Software\\VeltaroTest\\FTLink";

void setStandInMHz(const char* mhz) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ControlKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(h, "MHz", 0, REG_SZ, reinterpret_cast<const BYTE*>(mhz),
                   static_cast<DWORD>(strlen(mhz) + 1));
    RegCloseKey(h);
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
};

} // namespace

TEST_F(Com, UnregisteredClassFailsAndTheTickedBoxReportsIt) {
    ASSERT_EQ(standIn("/unregserver"), 0);
    EXPECT_THROW(client.createTrxServer(), veltaro::LinkError);

    wintest::Form form;
    form.build(nullptr, nullptr, &client);
    form.main->CheckTRX.click();
    EXPECT_EQ(form.dialogs.texts, std::vector<std::string>{veltaro::TrxSource::NotAvailableText});
    EXPECT_EQ(form.dialogs.captions, std::vector<std::string>{"Veltaro"});
    EXPECT_EQ(form.main->trxSource().TRX, nullptr);
    EXPECT_FALSE(form.main->tickNeeded());
}

TEST_F(Com, PlacesSevenAndTwoFortySixReachTheServerAcrossProcesses) {
    ASSERT_EQ(standIn("/regserver"), 0);
    auto server = client.createTrxServer();
    auto first = server->firstObject();
    auto trx = first->queryTrx();
    EXPECT_DOUBLE_EQ(trx->frequency(), 14.074);
    setStandInMHz("144.174");
    EXPECT_DOUBLE_EQ(trx->frequency(), 144.174);
    // Each object outlives the one that produced it.
    server.reset();
    first.reset();
    EXPECT_DOUBLE_EQ(trx->frequency(), 144.174);
}

TEST_F(Com, PolledFrequencyReachesTheTracker) {
    ASSERT_EQ(standIn("/regserver"), 0);
    wintest::Form form;
    form.build(nullptr, nullptr, &client);
    form.main->CheckTRX.click();
    ASSERT_TRUE(form.dialogs.texts.empty());
    ASSERT_TRUE(form.main->tickNeeded());
    form.main->Timer1_Timer();
    EXPECT_EQ(form.main->tracker().NewKHz, 14074);
    EXPECT_EQ(form.main->Label3.caption(), "14074");
    setStandInMHz("7.0");
    form.main->Timer1_Timer();
    EXPECT_EQ(form.main->tracker().TrxFreq, "7");
    EXPECT_EQ(form.main->Label3.caption(), "7000");
    EXPECT_EQ(form.files.writes.back().second, "07.000000\r\n");
    EXPECT_EQ(form.system.sleeps, 2);
}
