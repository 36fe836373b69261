#include "adapters/win32/network_win32.h"

#include "adapters/win32/host_addresses_win32.h"
#include "base/errors.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mswsock.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace veltaro::win32 {

namespace {

// Each link has message numbers of its own: one for its connect (also the ID of its connect
// timer) and one for each socket it opens, so that notices still queued for an earlier socket
// (whose handle Winsock may hand out again) reach nobody.
constexpr UINT FirstMessage = WM_APP + 0x100;
constexpr UINT MessageCount = 0x3000;

// The plain words for a Winsock error, the same as on Linux where the cause is the same.
std::string errorText(int code) {
    switch (code) {
    case 0:
        return "closed by the server";
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAETIMEDOUT:
        return "connection timed out";
    case WSAECONNRESET:
        return "connection reset";
    case WSAECONNABORTED:
        return "connection aborted";
    case WSAENETUNREACH:
    case WSAENETDOWN:
        return "network unreachable";
    case WSAEHOSTUNREACH:
        return "host unreachable";
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return "host not found";
    case WSATRY_AGAIN:
        return "the name server does not answer";
    case WSAEAFNOSUPPORT:
        return "this kind of address is not supported here";
    default:
        return "network error " + std::to_string(code);
    }
}

std::string seconds(unsigned ms) {
    return std::to_string(ms / 1000) + " s";
}

std::string placeOf(const NetAddress& a) {
    return a.host + ":" + std::to_string(a.port);
}

// The system's lookup, on the worker thread; Winsock is started for the call, as the network
// that asked may be gone before it ends.
std::vector<std::string> systemResolve(const std::string& host, int* error) {
    WSADATA data;
    if (const int rc = WSAStartup(MAKEWORD(2, 2), &data)) {
        *error = rc;
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> result;
    *error = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    for (const addrinfo* a = *error ? nullptr : found; a; a = a->ai_next) {
        char text[NI_MAXHOST] = {};
        if (getnameinfo(a->ai_addr, static_cast<int>(a->ai_addrlen), text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) == 0)
            result.emplace_back(text);
    }
    if (found)
        freeaddrinfo(found);
    WSACleanup();
    return result;
}

} // namespace

// Winsock for the process, the message-only window that every socket reports to, and the name
// lookup of the links.
class SocketHub {
public:
    class Client {
    public:
        virtual void onMessage(UINT message, WPARAM wp, LPARAM lp) = 0;
        virtual void onTimer(UINT id) = 0;

    protected:
        ~Client() = default;
    };

    explicit SocketHub(Win32Network::NameResolver resolver)
        : resolver_(resolver ? std::move(resolver) : systemResolve) {
        WSADATA data;
        if (const int rc = WSAStartup(MAKEWORD(2, 2), &data))
            throw LinkError("Winsock is not available (error " + std::to_string(rc) + ")");
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = instance;
        wc.lpszClassName = "VeltaroSockets";
        RegisterClassExA(&wc); // fails harmlessly when already registered
        hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, nullptr);
        if (!hwnd_) {
            WSACleanup();
            throw LinkError("The network's window cannot be made");
        }
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~SocketHub() {
        DestroyWindow(hwnd_);
        WSACleanup();
    }
    SocketHub(const SocketHub&) = delete;
    SocketHub& operator=(const SocketHub&) = delete;

    HWND window() const { return hwnd_; }
    const Win32Network::NameResolver& resolver() const { return resolver_; }

    UINT add(Client* client) {
        UINT message = 0;
        do {
            next_ = (next_ + 1) % MessageCount;
            message = FirstMessage + next_;
        } while (clients_.count(message));
        clients_[message] = client;
        return message;
    }
    void remove(UINT message) {
        KillTimer(hwnd_, message);
        clients_.erase(message);
    }

private:
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<SocketHub*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        const bool ours = msg >= FirstMessage && msg < FirstMessage + MessageCount;
        if (!self || (!ours && msg != WM_TIMER))
            return DefWindowProcA(h, msg, wp, lp);
        const UINT number = ours ? msg : static_cast<UINT>(wp);
        const auto it = self->clients_.find(number);
        if (it == self->clients_.end()) {
            if (!ours)
                KillTimer(h, wp);
            return 0;
        }
        // Nothing may unwind through user32; the core reports its own failures.
        try {
            if (ours)
                it->second->onMessage(msg, wp, lp);
            else
                it->second->onTimer(number);
        } catch (...) {
        }
        return 0;
    }

    Win32Network::NameResolver resolver_;
    HWND hwnd_ = nullptr;
    std::map<UINT, Client*> clients_;
    UINT next_ = 0;
};

namespace {

// A host name looked up on a worker thread, so that no window waits for a name server. The
// outcome is posted to the window as the message, unless the lookup was cancelled first. The
// worker holds the lookup, never the link: a link closed or destroyed meanwhile is not touched.
class NameLookup {
public:
    NameLookup(HWND window, UINT message) : window_(window), message_(message) {}

    static std::shared_ptr<NameLookup> start(const Win32Network::NameResolver& resolver,
                                             const std::string& host, HWND window, UINT message) {
        auto lookup = std::make_shared<NameLookup>(window, message);
        try {
            std::thread([lookup, resolver, host] {
                int error = 0;
                std::vector<std::string> found;
                try {
                    found = resolver(host, &error);
                } catch (...) {
                    error = WSANO_RECOVERY;
                }
                lookup->finish(std::move(found), error);
            }).detach();
        } catch (const std::system_error&) {
            lookup->finish({}, WSAENOBUFS);
        }
        return lookup;
    }

    // No message is posted once this has returned.
    void cancel() {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
    }

    // What was found, once the message has come.
    std::vector<std::string> addresses(int* error) {
        const std::lock_guard lock(mutex_);
        *error = found_.empty() && !error_ ? WSAHOST_NOT_FOUND : error_;
        return found_;
    }

private:
    void finish(std::vector<std::string> found, int error) {
        const std::lock_guard lock(mutex_);
        found_ = std::move(found);
        error_ = error;
        if (!cancelled_)
            PostMessageA(window_, message_, 0, 0);
    }

    std::mutex mutex_;
    const HWND window_;
    const UINT message_;
    bool cancelled_ = false;
    std::vector<std::string> found_;
    int error_ = 0;
};

class StreamLink final : public IStreamLink, SocketHub::Client {
public:
    explicit StreamLink(std::shared_ptr<SocketHub> hub) : hub_(std::move(hub)) {}
    ~StreamLink() override {
        *alive_ = false;
        reset();
    }

    void connect(const NetAddress& address, Handlers handlers) override {
        reset();
        ++generation_;
        handlers_ = std::move(handlers);
        tag_ = hub_->add(this);
        SetTimer(hub_->window(), tag_, Win32Network::ConnectTimeoutMs, nullptr);
        port_ = address.port;
        // A numeric address is taken at once; a name is looked up without waiting for it.
        if (const auto numeric = numericAddress(address.host, port_)) {
            candidates_.push_back(*numeric);
            return tryNext();
        }
        lookup_ = NameLookup::start(hub_->resolver(), address.host, hub_->window(), tag_);
        state_ = State::Resolving;
    }

    void send(std::string_view bytes) override {
        if (state_ != State::Connected)
            return;
        outbox_.append(bytes);
        flush();
    }

    void close() override { reset(); }

    void onMessage(UINT message, WPARAM wp, LPARAM lp) override {
        if (message == tag_) {
            if (state_ == State::Failing)
                finish(errorText(failure_));
            else if (state_ == State::Resolving)
                resolved();
            return;
        }
        if (message == attempt_ && static_cast<SOCKET>(wp) == socket_ &&
            (state_ == State::Connecting || state_ == State::Connected))
            event(WSAGETSELECTEVENT(lp), WSAGETSELECTERROR(lp));
    }

    void onTimer(UINT id) override {
        if (id != tag_)
            return;
        if (state_ == State::Resolving)
            finish("the name server did not answer within " +
                   seconds(Win32Network::ConnectTimeoutMs));
        else if (state_ == State::Connecting)
            finish("no answer within " + seconds(Win32Network::ConnectTimeoutMs));
    }

private:
    enum class State { Idle, Resolving, Connecting, Connected, Failing };

    void resolved() {
        int error = 0;
        const auto found = lookup_->addresses(&error);
        lookup_.reset();
        for (const std::string& text : found)
            if (const auto a = numericAddress(text, port_))
                candidates_.push_back(*a);
        if (candidates_.empty())
            return finish(errorText(error ? error : WSAHOST_NOT_FOUND));
        tryNext();
    }

    // Connects to the next address in turn, within what is left of the time for the connect;
    // once none is left, the last failure is told.
    void tryNext() {
        while (next_ < candidates_.size()) {
            closeAttempt();
            if (const int error = open(candidates_[next_++]))
                lastError_ = error;
            else
                return;
        }
        closeAttempt();
        failLater(lastError_);
    }

    // Starts a non-blocking connect: its outcome comes as FD_CONNECT. A Winsock error, or 0.
    int open(const SocketAddress& to) {
        socket_ = ::socket(to.family(), SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET)
            return WSAGetLastError();
        attempt_ = hub_->add(this);
        if (WSAAsyncSelect(socket_, hub_->window(), attempt_,
                           FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == SOCKET_ERROR)
            return WSAGetLastError();
        if (::connect(socket_, to.get(), to.length) == SOCKET_ERROR &&
            WSAGetLastError() != WSAEWOULDBLOCK)
            return WSAGetLastError();
        state_ = State::Connecting;
        return 0;
    }

    void connected() {
        KillTimer(hub_->window(), tag_);
        state_ = State::Connected;
        // Commands are a few bytes each and wanted on the wire at once, not gathered. A stack
        // that refuses leaves a slower link that still works.
        const BOOL noDelay = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                   sizeof noDelay);
        const unsigned generation = generation_;
        const auto alive = alive_;
        // A copy: a handler may connect again or close, replacing the handlers held here.
        if (const auto handler = handlers_.connected)
            handler();
        if (*alive && generation == generation_)
            flush();
    }

    void event(int what, int error) {
        const unsigned generation = generation_;
        const auto alive = alive_;
        switch (what) {
        case FD_CONNECT:
            if (state_ != State::Connecting)
                return;
            if (!error)
                return connected();
            lastError_ = error;
            return tryNext();
        case FD_READ:
            return readAll();
        case FD_WRITE:
            return flush();
        case FD_CLOSE:
            if (state_ == State::Connected)
                readAll(); // what the server sent before it closed
            if (*alive && generation == generation_ && state_ != State::Idle)
                finish(errorText(error));
            return;
        default:
            return;
        }
    }

    void readAll() {
        const unsigned generation = generation_;
        const auto alive = alive_;
        char buffer[4096];
        while (state_ == State::Connected) {
            const int n = ::recv(socket_, buffer, sizeof buffer, 0);
            if (n == 0)
                return finish(errorText(0));
            if (n == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK)
                    finish(errorText(error));
                return;
            }
            if (const auto received = handlers_.received)
                received(std::string_view(buffer, static_cast<std::size_t>(n)));
            if (!*alive || generation != generation_)
                return;
        }
    }

    void flush() {
        while (state_ == State::Connected && !outbox_.empty()) {
            const int n =
                ::send(socket_, outbox_.data(),
                       static_cast<int>(std::min<std::size_t>(outbox_.size(), INT_MAX)), 0);
            if (n == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK) // else FD_WRITE tells when to go on
                    failLater(error);
                return;
            }
            outbox_.erase(0, static_cast<std::size_t>(n));
        }
    }

    // Reports a failure from the event loop, as connect() and send() must not.
    void failLater(int error) {
        failure_ = error;
        state_ = State::Failing;
        PostMessageA(hub_->window(), tag_, 0, 0);
    }

    void finish(const std::string& reason) {
        const auto closed = std::move(handlers_.closed);
        reset();
        if (closed)
            closed(reason);
    }

    void closeAttempt() {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
        if (attempt_)
            hub_->remove(attempt_);
        attempt_ = 0;
    }

    void reset() {
        if (lookup_)
            lookup_->cancel();
        lookup_.reset();
        closeAttempt();
        if (tag_)
            hub_->remove(tag_);
        tag_ = 0;
        state_ = State::Idle;
        candidates_.clear();
        next_ = 0;
        lastError_ = 0;
        outbox_.clear();
        handlers_ = {};
    }

    std::shared_ptr<SocketHub> hub_;
    Handlers handlers_;
    State state_ = State::Idle;
    UINT tag_ = 0;     // the connect's message and timer
    UINT attempt_ = 0; // the notices of the socket being connected
    SOCKET socket_ = INVALID_SOCKET;
    std::shared_ptr<NameLookup> lookup_;
    std::vector<SocketAddress> candidates_; // the addresses to try, in turn
    std::size_t next_ = 0;
    std::uint16_t port_ = 0;
    int lastError_ = 0;
    int failure_ = 0;
    std::string outbox_;
    // Counts the connects, so that a handler that connects again ends the work on the old one.
    unsigned generation_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

BindError notHere(const NetAddress& a) {
    return BindError(BindError::Cause::NotHere, a.host + " is not an address of this computer");
}

BindError bindError(int error, const NetAddress& a) {
    switch (error) {
    case WSAEADDRINUSE:
    case WSAEACCES:
        return BindError(BindError::Cause::InUse,
                         "port " + std::to_string(a.port) + " is taken by another program");
    case WSAEADDRNOTAVAIL:
        return notHere(a);
    default:
        return BindError(BindError::Cause::Other,
                         "cannot listen on " + placeOf(a) + ": " + errorText(error));
    }
}

// Joins the group on every adapter, so that a logger on this computer (through loopback) and
// one on the network are both heard; on the default adapter when no other took.
bool joinGroup(SOCKET s, const SocketAddress& group) {
    const auto join = [&](const SocketAddress& on, unsigned long index) {
        if (group.family() == AF_INET) {
            ip_mreq m{};
            m.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(&group.storage)->sin_addr;
            m.imr_interface = reinterpret_cast<const sockaddr_in*>(&on.storage)->sin_addr;
            return setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&m),
                              sizeof m) == 0;
        }
        ipv6_mreq m{};
        m.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(&group.storage)->sin6_addr;
        m.ipv6mr_interface = index;
        return setsockopt(s, IPPROTO_IPV6, IPV6_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&m),
                          sizeof m) == 0;
    };
    std::vector<unsigned long> indexes; // IPv6 joins an adapter once, whatever its addresses
    bool joined = false;
    for (const AdapterAddress& adapter : adapterAddresses()) {
        if (adapter.address.family() != group.family() ||
            std::find(indexes.begin(), indexes.end(), adapter.interfaceIndex) != indexes.end())
            continue;
        if (group.family() == AF_INET6)
            indexes.push_back(adapter.interfaceIndex);
        joined = join(adapter.address, adapter.interfaceIndex) || joined;
    }
    return joined || join(group.wildcard(), 0);
}

// A socket for the place. A unicast address is bound exclusively, so that no other program's
// datagrams are ever taken; a broadcast or multicast address is bound shared on the wildcard of
// its family (Windows delivers neither to a socket bound to the address itself), and a group is
// joined. Raises BindError.
SOCKET bindDatagram(const SocketAddress& at, ListenPlace place, const NetAddress& address) {
    const SOCKET s = ::socket(at.family(), SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        throw bindError(WSAGetLastError(), address);
    const bool shared = place != ListenPlace::Here;
    const SocketAddress bound = shared ? at.wildcard() : at;
    const BOOL on = TRUE;
    int error = 0;
    if (setsockopt(s, SOL_SOCKET, shared ? SO_REUSEADDR : SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR ||
        ::bind(s, bound.get(), bound.length) == SOCKET_ERROR)
        error = WSAGetLastError();
    if (error) {
        closesocket(s);
        throw bindError(error, address);
    }
    if (place == ListenPlace::Multicast && !joinGroup(s, at)) {
        closesocket(s);
        throw BindError(BindError::Cause::Other, "cannot join the multicast group " + address.host);
    }
    return s;
}

class DatagramSocket final : public IDatagramSocket, SocketHub::Client {
public:
    explicit DatagramSocket(std::shared_ptr<SocketHub> hub)
        : hub_(std::move(hub)), buffer_(Win32Network::MaxDatagram + 1) {}
    ~DatagramSocket() override {
        *alive_ = false;
        close();
    }

    void listen(const NetAddress& address, Receive onDatagram) override {
        close();
        const auto at = listenAddress(address.host, address.port);
        const ListenPlace place =
            at ? listenPlaceOf(*at, adapterAddresses()) : ListenPlace::Elsewhere;
        if (place == ListenPlace::Elsewhere)
            throw notHere(address);
        const SOCKET s = bindDatagram(*at, place, address);
        message_ = hub_->add(this);
        if (WSAAsyncSelect(s, hub_->window(), message_, FD_READ) == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            closesocket(s);
            hub_->remove(message_);
            message_ = 0;
            throw bindError(error, address);
        }
        socket_ = s;
        onDatagram_ = std::move(onDatagram);
        ++generation_;
    }

    void close() override {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
        if (message_)
            hub_->remove(message_);
        message_ = 0;
        onDatagram_ = nullptr;
    }

    void onMessage(UINT message, WPARAM wp, LPARAM lp) override {
        if (message != message_ || static_cast<SOCKET>(wp) != socket_ ||
            WSAGETSELECTEVENT(lp) != FD_READ)
            return;
        const unsigned generation = generation_;
        const auto alive = alive_;
        // A bounded batch: Winsock tells again while datagrams wait.
        for (int i = 0; i < 64 && socket_ != INVALID_SOCKET; ++i) {
            const int n = ::recv(socket_, buffer_.data(), static_cast<int>(buffer_.size()), 0);
            if (n == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error == WSAEMSGSIZE || error == WSAECONNRESET)
                    continue; // too long (dropped), or an earlier send refused: go on
                return;
            }
            if (static_cast<std::size_t>(n) > Win32Network::MaxDatagram)
                continue;
            const Receive deliver = onDatagram_;
            if (deliver)
                deliver(std::string_view(buffer_.data(), static_cast<std::size_t>(n)));
            if (!*alive || generation != generation_)
                return;
        }
    }

    void onTimer(UINT) override {}

private:
    std::shared_ptr<SocketHub> hub_;
    std::vector<char> buffer_;
    SOCKET socket_ = INVALID_SOCKET;
    UINT message_ = 0;
    Receive onDatagram_;
    unsigned generation_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Sends each datagram with one non-blocking sendto: what the system cannot take at once is
// dropped, never kept. Needs no notices from the window; the hub keeps Winsock started.
class DatagramSender final : public IDatagramSender {
public:
    explicit DatagramSender(std::shared_ptr<SocketHub> hub) : hub_(std::move(hub)) {}
    ~DatagramSender() override { close(); }

    void open(const NetAddress& address) override {
        close();
        const auto at =
            address.host.empty() ? std::nullopt : listenAddress(address.host, address.port);
        if (!at)
            throw LinkError(address.host.empty()
                                ? std::string("no host to send to")
                                : address.host + " is a name: give a numeric address",
                            LinkError::Retry::Useless);
        const SOCKET s = ::socket(at->family(), SOCK_DGRAM, IPPROTO_UDP);
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (s != INVALID_SOCKET)
                closesocket(s);
            throw LinkError("cannot send to " + placeOf(address) + ": " + errorText(error));
        }
        const BOOL on = TRUE;
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
        const DWORD hops = 1; // a multicast group's datagrams stay on the local network
        if (at->family() == AF_INET)
            setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&hops),
                       sizeof hops);
        else
            setsockopt(s, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, reinterpret_cast<const char*>(&hops),
                       sizeof hops);
        // A port nobody listens on answers with ICMP; Windows would fail the next sendto for it.
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                 nullptr);
        socket_ = s;
        to_ = *at;
    }

    bool send(std::string_view datagram, std::string& why) override {
        if (socket_ == INVALID_SOCKET) {
            why = "not open";
            return false;
        }
        if (datagram.size() <= INT_MAX &&
            ::sendto(socket_, datagram.data(), static_cast<int>(datagram.size()), 0, to_.get(),
                     to_.length) != SOCKET_ERROR)
            return true;
        const int error = datagram.size() > INT_MAX ? WSAEMSGSIZE : WSAGetLastError();
        if (error == WSAEWOULDBLOCK || error == WSAENOBUFS)
            why = "no room to send";
        else if (error == WSAEMSGSIZE)
            why = "the datagram is too long";
        else
            why = errorText(error);
        return false;
    }

    void close() override {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    std::shared_ptr<SocketHub> hub_;
    SOCKET socket_ = INVALID_SOCKET;
    SocketAddress to_;
};

} // namespace

Win32Network::Win32Network(NameResolver resolver)
    : hub_(std::make_shared<SocketHub>(std::move(resolver))) {}

Win32Network::~Win32Network() = default;

std::unique_ptr<IStreamLink> Win32Network::makeStreamLink() {
    return std::make_unique<StreamLink>(hub_);
}

std::unique_ptr<IDatagramSocket> Win32Network::makeDatagramSocket() {
    return std::make_unique<DatagramSocket>(hub_);
}

std::unique_ptr<IDatagramSender> Win32Network::makeDatagramSender() {
    return std::make_unique<DatagramSender>(hub_);
}

// Checked against the adapters, as a bind alone cannot tell (Wine binds any IPv4 address); an
// address of this computer must take a trial bind as well (IPv6 may be switched off).
bool Win32Network::canListenOn(const std::string& host) {
    const auto at = listenAddress(host, 0);
    if (!at)
        return false;
    switch (listenPlaceOf(*at, adapterAddresses())) {
    case ListenPlace::Broadcast:
    case ListenPlace::Multicast:
        return true;
    case ListenPlace::Elsewhere:
        return false;
    case ListenPlace::Here:
        break;
    }
    const SOCKET s = ::socket(at->family(), SOCK_DGRAM, IPPROTO_UDP);
    const bool bound = s != INVALID_SOCKET && ::bind(s, at->get(), at->length) == 0;
    if (s != INVALID_SOCKET)
        closesocket(s);
    return bound;
}

} // namespace veltaro::win32
