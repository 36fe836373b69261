// Stand-in DDE server for the tests: serves Commander's "CI-V Commander|DDEServer!XmitFreq" and
// HRD's "HRD_RADIO_000|HRD_CAT!HRD_HERTZ".
// Usage: dde_standin.exe [--commander V] [--hrd V] [--then V1,V2,...] [--ready-file PATH]
// After the first hot link starts, each value of --then becomes the current value of the linked
// item in turn, 30 ms apart, and is advised. --ready-file names a file created once the services
// are registered. The program ends by itself after a minute.
#include <windows.h>

#include <ddeml.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Item {
    const char* service;
    const char* topic;
    const char* item;
    std::string value;
    HSZ hszService = nullptr, hszTopic = nullptr, hszItem = nullptr;
};

// The callback has no context pointer: one server per process.
DWORD inst = 0;
std::vector<Item> items{{"CI-V Commander", "DDEServer", "XmitFreq", "14074"},
                        {"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ", "14074000"}};
std::vector<std::string> then;
size_t next = 0;
Item* linked = nullptr;

Item* find(HSZ topic, HSZ item) {
    for (auto& i : items)
        if (DdeCmpStringHandles(i.hszTopic, topic) == 0 &&
            DdeCmpStringHandles(i.hszItem, item) == 0)
            return &i;
    return nullptr;
}

HDDEDATA CALLBACK callback(UINT type, UINT fmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                           ULONG_PTR) {
    Item* i = type == XTYP_CONNECT || fmt != CF_TEXT ? nullptr : find(hsz1, hsz2);
    switch (type) {
    case XTYP_CONNECT:
        for (const auto& it : items)
            if (DdeCmpStringHandles(it.hszTopic, hsz1) == 0 &&
                DdeCmpStringHandles(it.hszService, hsz2) == 0)
                return reinterpret_cast<HDDEDATA>(TRUE);
        return nullptr;
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
        if (!i)
            return nullptr;
        return DdeCreateDataHandle(inst, reinterpret_cast<LPBYTE>(i->value.data()),
                                   static_cast<DWORD>(i->value.size() + 1), 0, i->hszItem, fmt, 0);
    case XTYP_ADVSTART:
        if (i && !linked) {
            linked = i;
            SetTimer(nullptr, 0, 30, nullptr);
        }
        return i ? reinterpret_cast<HDDEDATA>(TRUE) : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string readyFile;
    for (int a = 1; a + 1 < argc; a += 2) {
        const std::string opt = argv[a], val = argv[a + 1];
        if (opt == "--commander")
            items[0].value = val;
        else if (opt == "--hrd")
            items[1].value = val;
        else if (opt == "--ready-file")
            readyFile = val;
        else if (opt == "--then") {
            std::istringstream in(val);
            for (std::string v; std::getline(in, v, ',');)
                then.push_back(v);
        }
    }
    if (DdeInitializeA(&inst, callback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS, 0) !=
        DMLERR_NO_ERROR)
        return 2;
    for (auto& i : items) {
        i.hszService = DdeCreateStringHandleA(inst, i.service, CP_WINANSI);
        i.hszTopic = DdeCreateStringHandleA(inst, i.topic, CP_WINANSI);
        i.hszItem = DdeCreateStringHandleA(inst, i.item, CP_WINANSI);
        if (!DdeNameService(inst, i.hszService, nullptr, DNS_REGISTER))
            return 3;
    }
    if (!readyFile.empty())
        CloseHandle(
            CreateFileA(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const UINT_PTR lifeTimer = SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_TIMER || msg.hwnd != nullptr)
            DispatchMessageA(&msg);
        else if (msg.wParam == lifeTimer)
            break;
        else if (linked && next < then.size()) {
            linked->value = then[next++];
            DdePostAdvise(inst, linked->hszTopic, linked->hszItem);
        } else
            KillTimer(nullptr, msg.wParam);
    }
    for (auto& i : items)
        DdeNameService(inst, i.hszService, nullptr, DNS_UNREGISTER);
    DdeUninitialize(inst);
    return 0;
}
