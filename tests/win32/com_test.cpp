// The COM automation client against the FTLink stand-in, a local server registered from its
// embedded type library, which reports its live objects and notification sinks.
#include "adapters/win32/com_automation.h"
#include "base/errors.h"
#include "support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>

using veltaro::LinkError;
using Launch = veltaro::IAutomationClient::Launch;

namespace {

constexpr const char* ControlKey = "Software\\VeltaroTest\\FTLink";
constexpr GUID LibId = {
    0xAD389A96, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
const std::string ClassKey = "Software\\Classes\\CLSID\\{AD389A93-FD1A-11D1-9FFC-8703DD3BB166}";

// Registers the stand-in, with the type library it holds, as the local server of FTLink's class;
// or removes both.
void registerStandIn(bool on) {
    UnRegisterTypeLib(LibId, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ClassKey.c_str());
    if (!on)
        return;
    const std::string exe = wintest::binDir() + "\\ftlink_standin.exe";
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(std::wstring(exe.begin(), exe.end()).c_str(), REGKIND_REGISTER, &lib),
              S_OK);
    lib->Release();
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (ClassKey + "\\LocalServer32").c_str(), nullptr,
                              REG_SZ, exe.c_str(), static_cast<DWORD>(exe.size() + 1)),
              ERROR_SUCCESS);
}

void setControl(const char* name, const char* text) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, ControlKey, name, REG_SZ, text,
                              static_cast<DWORD>(strlen(text) + 1)),
              ERROR_SUCCESS);
}

// A count the server reports; missing counts as 0.
DWORD reported(const char* name) {
    DWORD v = 0, size = sizeof v;
    RegGetValueA(HKEY_CURRENT_USER, ControlKey, name, RRF_RT_REG_DWORD, nullptr, &v, &size);
    return v;
}

// The count settles at n (releases may reach the server a little later).
bool settles(const char* name, DWORD n) {
    return wintest::pumpUntil([&] { return reported(name) == n; }, 10000);
}

} // namespace

// Places 7 and 246 across processes. Connect holds the server object and the frequency object
// with one sink subscribed, the frequency is read afresh on each call, a second connect replaces
// them, and disconnect unadvises the sink and lets everything go. A connect that fails at any
// step holds nothing afterwards, neither what it made nor what was held before.
TEST(Com, ConnectHoldsTheSubscribedFrequencyObjectUntilDisconnectOrAFailedConnect) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    RegDeleteTreeA(HKEY_CURRENT_USER, ControlKey);
    registerStandIn(true);
    {
        veltaro::win32::ComAutomationClient client;
        client.connect(Launch::Allowed);
        setControl("MHz", "7.0");
        EXPECT_DOUBLE_EQ(client.frequencyMHz(), 7.0);
        EXPECT_TRUE(settles("Live", 2));
        EXPECT_TRUE(settles("Sinks", 1));
        client.connect(Launch::Allowed);
        EXPECT_TRUE(settles("Live", 2));
        EXPECT_TRUE(settles("Sinks", 1));
        setControl("Refuse", "frequency");
        EXPECT_THROW(client.frequencyMHz(), LinkError);
        client.disconnect();
        EXPECT_TRUE(settles("Sinks", 0));
        EXPECT_TRUE(settles("Live", 0));
        EXPECT_THROW(client.frequencyMHz(), LinkError);

        for (const char* refusal : {"first", "trx"}) {
            SCOPED_TRACE(refusal);
            setControl("Refuse", "");
            client.connect(Launch::Allowed);
            EXPECT_TRUE(settles("Live", 2));
            setControl("Refuse", refusal);
            EXPECT_THROW(client.connect(Launch::Allowed), LinkError);
            EXPECT_TRUE(settles("Live", 0));
            EXPECT_THROW(client.frequencyMHz(), LinkError);
        }
        registerStandIn(false);
        EXPECT_THROW(client.connect(Launch::Allowed), LinkError);
        EXPECT_THROW(client.frequencyMHz(), LinkError);
    }
    CoUninitialize();
}

// The LinkError's text.
template <typename Fn> std::string failureOf(Fn fn) {
    try {
        fn();
    } catch (const LinkError& e) {
        return e.what();
    }
    return "no failure";
}

// With RunningOnly only a server the user started is taken: while none runs, nothing is started
// (no object is made); a running one is linked, whether it put itself in the running object table
// or only registered its class object, and once it has ended a read is a LinkError.
TEST(Com, RunningOnlyTakesTheRunningServerAndStartsNone) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const char* mode : {"/running", "/started"}) {
        SCOPED_TRACE(mode);
        RegDeleteTreeA(HKEY_CURRENT_USER, ControlKey);
        registerStandIn(false);
        veltaro::win32::ComAutomationClient client;
        EXPECT_EQ(failureOf([&] { client.connect(Launch::RunningOnly); }),
                  "TRX-Manager is not installed (its automation server is not registered)");
        registerStandIn(true);
        EXPECT_EQ(failureOf([&] { client.connect(Launch::RunningOnly); }),
                  "TRX-Manager is not running");
        wintest::pumpUntil([] { return false; }, 500);
        EXPECT_EQ(reported("Live"), 0u);

        // Started by the user.
        std::string command = "\"" + wintest::binDir() + "\\ftlink_standin.exe\" " + mode;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi));
        const bool linked = wintest::pumpUntil(
            [&] {
                try {
                    client.connect(Launch::RunningOnly);
                    return true;
                } catch (const LinkError&) {
                    return false;
                }
            },
            10000);
        setControl("MHz", "14.074");
        const double mhz = linked ? client.frequencyMHz() : 0;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        ASSERT_TRUE(linked);
        EXPECT_DOUBLE_EQ(mhz, 14.074);
        EXPECT_THROW(client.frequencyMHz(), LinkError);
    }
    registerStandIn(false);
    CoUninitialize();
}
