// Stand-in DDE server for the tests: serves Commander's "CI-V Commander|DDEServer!XmitFreq" and
// HRD's "HRD_RADIO_000|HRD_CAT!HRD_HERTZ".
// Usage: dde_standin.exe [--commander V] [--hrd V] [--then V1,V2,...] [--ready EVENT]
//                        [--ready-file PATH] [--lifetime-ms N]
// After the first hot link starts, each value of --then becomes the current value of the linked
// item in turn, 30 ms apart, and is advised. --ready names an event set once the services are
// registered; --ready-file names a file created then. The program ends by itself after
// --lifetime-ms (default 60 s).
#include <windows.h>

#include <ddeml.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Item {
    const char* service;
    const char* topic;
    const char* item;
    std::string value;
    HSZ hszService = nullptr;
    HSZ hszTopic = nullptr;
    HSZ hszItem = nullptr;
    bool advised = false;
};

struct Server {
    DWORD inst = 0;
    std::vector<Item> items;
    std::vector<std::string> then;
    size_t next = 0;
    Item* linked = nullptr;
};

Server* server = nullptr; // the callback has no context pointer; one server per process

Item* find(HSZ topic, HSZ item) {
    for (auto& i : server->items)
        if (DdeCmpStringHandles(i.hszTopic, topic) == 0 &&
            (!item || DdeCmpStringHandles(i.hszItem, item) == 0))
            return &i;
    return nullptr;
}

HDDEDATA textData(const Item& i, UINT fmt) {
    return DdeCreateDataHandle(server->inst,
                               reinterpret_cast<LPBYTE>(const_cast<char*>(i.value.c_str())),
                               static_cast<DWORD>(i.value.size() + 1), 0, i.hszItem, fmt, 0);
}

HDDEDATA CALLBACK callback(UINT type, UINT fmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                           ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        for (auto& i : server->items)
            if (DdeCmpStringHandles(i.hszTopic, hsz1) == 0 &&
                DdeCmpStringHandles(i.hszService, hsz2) == 0)
                return reinterpret_cast<HDDEDATA>(TRUE);
        return nullptr;
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
        if (fmt != CF_TEXT)
            return nullptr;
        if (Item* i = find(hsz1, hsz2))
            return textData(*i, fmt);
        return nullptr;
    case XTYP_ADVSTART:
        if (Item* i = find(hsz1, hsz2); i && fmt == CF_TEXT) {
            i->advised = true;
            if (!server->linked) {
                server->linked = i;
                SetTimer(nullptr, 0, 30, nullptr);
            }
            return reinterpret_cast<HDDEDATA>(TRUE);
        }
        return nullptr;
    case XTYP_ADVSTOP:
        if (Item* i = find(hsz1, hsz2))
            i->advised = false;
        return nullptr;
    default:
        return nullptr;
    }
}

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, ','))
        out.push_back(part);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    Server s;
    server = &s;
    s.items.push_back({"CI-V Commander", "DDEServer", "XmitFreq", "14074"});
    s.items.push_back({"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ", "14074000"});
    std::string ready;
    std::string readyFile;
    DWORD lifetime = 60000;
    for (int a = 1; a + 1 < argc; a += 2) {
        const std::string opt = argv[a];
        const std::string val = argv[a + 1];
        if (opt == "--commander")
            s.items[0].value = val;
        else if (opt == "--hrd")
            s.items[1].value = val;
        else if (opt == "--then")
            s.then = split(val);
        else if (opt == "--ready")
            ready = val;
        else if (opt == "--ready-file")
            readyFile = val;
        else if (opt == "--lifetime-ms")
            lifetime = static_cast<DWORD>(std::stoul(val));
    }
    if (DdeInitializeA(&s.inst, callback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS, 0) !=
        DMLERR_NO_ERROR)
        return 2;
    for (auto& i : s.items) {
        i.hszService = DdeCreateStringHandleA(s.inst, i.service, CP_WINANSI);
        i.hszTopic = DdeCreateStringHandleA(s.inst, i.topic, CP_WINANSI);
        i.hszItem = DdeCreateStringHandleA(s.inst, i.item, CP_WINANSI);
        if (!DdeNameService(s.inst, i.hszService, nullptr, DNS_REGISTER))
            return 3;
    }
    if (!ready.empty())
        if (HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready.c_str())) {
            SetEvent(ev);
            CloseHandle(ev);
        }
    if (!readyFile.empty())
        CloseHandle(
            CreateFileA(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const UINT_PTR lifeTimer = SetTimer(nullptr, 0, lifetime, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
            if (msg.wParam == lifeTimer)
                break;
            if (s.linked && s.next < s.then.size()) {
                s.linked->value = s.then[s.next++];
                DdePostAdvise(s.inst, s.linked->hszTopic, s.linked->hszItem);
            } else {
                KillTimer(nullptr, msg.wParam);
            }
            continue;
        }
        DispatchMessageA(&msg);
    }
    for (auto& i : s.items)
        DdeNameService(s.inst, i.hszService, nullptr, DNS_UNREGISTER);
    DdeUninitialize(s.inst);
    return 0;
}
