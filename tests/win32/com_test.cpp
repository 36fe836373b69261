// The COM automation client against the FTLink stand-in, a local server registered from its
// embedded type library, which reports its live objects and notification sinks.
#include "platform/errors.h"
#include "platform/win32/com_automation.h"
#include "support.h"

#include <gtest/gtest.h>

#include <objbase.h>

using veltaro::LinkError;

namespace {

constexpr const char* ControlKey = "Software\\VeltaroTest\\FTLink";

void setControl(const char* name, const char* text) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, ControlKey, name, REG_SZ, text,
                              static_cast<DWORD>(strlen(text) + 1)),
              ERROR_SUCCESS);
}

DWORD reported(const char* name) {
    DWORD v = 0, size = sizeof v;
    if (RegGetValueA(HKEY_CURRENT_USER, ControlKey, name, RRF_RT_REG_DWORD, nullptr, &v, &size) !=
        ERROR_SUCCESS)
        return 0;
    return v;
}

// The server's count settles at n (releases may reach it a little later).
bool settles(const char* name, DWORD n) {
    return wintest::pumpUntil([&] { return reported(name) == n; }, 10000);
}

long standIn(const char* arg) {
    return wintest::run("\"" + wintest::binDir() + "\\ftlink_standin.exe\" " + arg);
}

class Com : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        RegDeleteTreeA(HKEY_CURRENT_USER, ControlKey);
        ASSERT_EQ(standIn("/regserver"), 0);
    }
    void TearDown() override {
        client.disconnect();
        EXPECT_TRUE(settles("Live", 0));
        standIn("/unregserver");
        RegDeleteTreeA(HKEY_CURRENT_USER, ControlKey);
        CoUninitialize();
    }
    veltaro::win32::ComAutomationClient client;
};

} // namespace

// Places 7 and 246 across processes: the server object and the frequency object are held with
// one sink subscribed, a second connect replaces them, and disconnect lets everything go.
TEST_F(Com, ConnectHoldsTheSubscribedFrequencyObjectUntilDisconnect) {
    client.connect();
    EXPECT_DOUBLE_EQ(client.frequencyMHz(), 14.074);
    setControl("MHz", "7.0");
    EXPECT_DOUBLE_EQ(client.frequencyMHz(), 7.0);
    EXPECT_EQ(reported("Live"), 2u);
    EXPECT_EQ(reported("Sinks"), 1u);
    client.connect();
    EXPECT_TRUE(settles("Live", 2));
    EXPECT_TRUE(settles("Sinks", 1));
    setControl("Refuse", "frequency");
    EXPECT_THROW(client.frequencyMHz(), LinkError);
    client.disconnect();
    EXPECT_TRUE(settles("Sinks", 0));
    EXPECT_TRUE(settles("Live", 0));
    EXPECT_THROW(client.frequencyMHz(), LinkError);
}

// A connect that fails at any step holds nothing afterwards, neither what it made nor what was
// held before.
TEST_F(Com, FailedConnectHoldsNothing) {
    for (const char* refusal : {"first", "trx"}) {
        SCOPED_TRACE(refusal);
        setControl("Refuse", "");
        client.connect();
        ASSERT_EQ(reported("Live"), 2u);
        setControl("Refuse", refusal);
        EXPECT_THROW(client.connect(), LinkError);
        EXPECT_TRUE(settles("Live", 0));
        EXPECT_THROW(client.frequencyMHz(), LinkError);
    }
    ASSERT_EQ(standIn("/unregserver"), 0);
    EXPECT_THROW(client.connect(), LinkError);
    EXPECT_THROW(client.frequencyMHz(), LinkError);
}
