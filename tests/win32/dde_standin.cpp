// Stand-in DDE server for the tests: serves Commander's "CI-V Commander|DDEServer!XmitFreq" and
// HRD's "HRD_RADIO_000|HRD_CAT!HRD_HERTZ".
// Usage: dde_standin.exe READY-FILE COMMANDER-VALUE HRD-VALUE [CHANGE...]
// READY-FILE is created once the services are registered; the server ends, as a program that
// quits does (its services unregistered, DDEML uninitialised), once the file has been removed.
// After the first hot link starts, each CHANGE becomes the current value of the linked item in
// turn, 30 ms apart, and is advised.
#include <windows.h>

#include <ddeml.h>

#include <string>
#include <vector>

namespace {

struct Item {
    HSZ service, topic, item;
    std::string value;
};

// The callback has no context pointer: one server per process.
DWORD inst = 0;
std::vector<Item> items;
Item* linked = nullptr;

HDDEDATA CALLBACK callback(UINT type, UINT fmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                           ULONG_PTR) {
    for (auto& i : items) {
        if (DdeCmpStringHandles(i.topic, hsz1) != 0)
            continue;
        if (type == XTYP_CONNECT) { // hsz2 is the service
            if (DdeCmpStringHandles(i.service, hsz2) == 0)
                return reinterpret_cast<HDDEDATA>(TRUE);
        } else if (fmt != CF_TEXT || DdeCmpStringHandles(i.item, hsz2) != 0) {
            continue;
        } else if (type == XTYP_REQUEST || type == XTYP_ADVREQ) {
            return DdeCreateDataHandle(inst, reinterpret_cast<LPBYTE>(i.value.data()),
                                       static_cast<DWORD>(i.value.size() + 1), 0, i.item, fmt, 0);
        } else if (type == XTYP_ADVSTART) {
            if (!linked && SetTimer(nullptr, 0, 30, nullptr))
                linked = &i;
            return reinterpret_cast<HDDEDATA>(TRUE);
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || DdeInitializeA(&inst, callback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS,
                                   0) != DMLERR_NO_ERROR)
        return 2;
    const auto hsz = [](const char* s) { return DdeCreateStringHandleA(inst, s, CP_WINANSI); };
    items = {{hsz("CI-V Commander"), hsz("DDEServer"), hsz("XmitFreq"), argv[2]},
             {hsz("HRD_RADIO_000"), hsz("HRD_CAT"), hsz("HRD_HERTZ"), argv[3]}};
    for (const auto& i : items)
        DdeNameService(inst, i.service, nullptr, DNS_REGISTER);
    CloseHandle(CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const UINT_PTR watchReady = SetTimer(nullptr, 0, 50, nullptr);
    int next = 4; // the next change
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_TIMER || msg.hwnd) {
            DispatchMessageA(&msg);
        } else if (msg.wParam == watchReady) {
            if (GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES)
                break;
        } else if (next < argc) {
            linked->value = argv[next++];
            DdePostAdvise(inst, linked->topic, linked->item);
        }
    }
    for (const auto& i : items)
        DdeNameService(inst, i.service, nullptr, DNS_UNREGISTER);
    DdeUninitialize(inst);
    return 0;
}
