#include "adapters/win32/network_win32.h"

#include "base/errors.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace veltaro::win32 {

namespace {

// Each link has a message number of its own for its socket's notices, which is also the ID of
// its connect timer; a link that connects again takes a new one, so that notices still queued
// for its earlier socket (whose handle Winsock may hand out again) reach nobody.
constexpr UINT FirstMessage = WM_APP + 0x100;
constexpr UINT MessageCount = 0x3000;

std::string errorText(int code) {
    switch (code) {
    case 0:
        return "closed by the server";
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAETIMEDOUT:
        return "timed out";
    case WSAECONNRESET:
        return "connection reset";
    case WSAECONNABORTED:
        return "connection aborted";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return "host unreachable";
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return "host not found";
    default:
        return "network error " + std::to_string(code);
    }
}

std::string placeOf(const NetAddress& a) {
    return a.host + ":" + std::to_string(a.port);
}

} // namespace

// Winsock for the process, and the message-only window that every socket reports to.
class SocketHub {
public:
    class Client {
    public:
        virtual void onMessage(WPARAM wp, LPARAM lp) = 0;
        virtual void onTimer() = 0;

    protected:
        ~Client() = default;
    };

    SocketHub() {
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
        const auto it = self->clients_.find(ours ? msg : static_cast<UINT>(wp));
        if (it == self->clients_.end()) {
            if (!ours)
                KillTimer(h, wp);
            return 0;
        }
        // Nothing may unwind through user32; the core reports its own failures.
        try {
            if (ours)
                it->second->onMessage(wp, lp);
            else
                it->second->onTimer();
        } catch (...) {
        }
        return 0;
    }

    HWND hwnd_ = nullptr;
    std::map<UINT, Client*> clients_;
    UINT next_ = 0;
};

namespace {

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
        message_ = hub_->add(this);
        SetTimer(hub_->window(), message_, Win32Network::ConnectTimeoutMs, nullptr);
        port_ = address.port;
        // A numeric address is taken at once; a name is looked up without waiting for it.
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST;
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints,
                        &found) == 0) {
            open(found->ai_addr, static_cast<int>(found->ai_addrlen));
            freeaddrinfo(found);
            return;
        }
        host_.assign(MAXGETHOSTSTRUCT, '\0');
        lookup_ = WSAAsyncGetHostByName(hub_->window(), message_, address.host.c_str(),
                                        host_.data(), MAXGETHOSTSTRUCT);
        if (lookup_)
            state_ = State::Resolving;
        else
            failLater(WSAGetLastError());
    }

    void send(std::string_view bytes) override {
        if (state_ != State::Connected)
            return;
        outbox_.append(bytes);
        flush();
    }

    void close() override { reset(); }

    void onMessage(WPARAM wp, LPARAM lp) override {
        switch (state_) {
        case State::Idle:
            return;
        case State::Failing:
            return finish(failure_);
        case State::Resolving:
            if (reinterpret_cast<HANDLE>(wp) == lookup_)
                resolved(WSAGETASYNCERROR(lp));
            return;
        case State::Connecting:
        case State::Connected:
            if (static_cast<SOCKET>(wp) == socket_)
                event(WSAGETSELECTEVENT(lp), WSAGETSELECTERROR(lp));
            return;
        }
    }

    void onTimer() override {
        if (state_ == State::Resolving || state_ == State::Connecting)
            finish(WSAETIMEDOUT);
    }

private:
    enum class State { Idle, Resolving, Connecting, Connected, Failing };

    void resolved(int error) {
        lookup_ = nullptr;
        const auto* host = reinterpret_cast<const hostent*>(host_.data());
        if (error || host->h_addrtype != AF_INET || !host->h_addr_list[0])
            return finish(error ? error : WSAHOST_NOT_FOUND);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port_);
        std::memcpy(&to.sin_addr, host->h_addr_list[0], sizeof to.sin_addr);
        open(reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    void open(const sockaddr* to, int length) {
        socket_ = ::socket(to->sa_family, SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET)
            return failLater(WSAGetLastError());
        // Non-blocking from here on: the outcome comes as FD_CONNECT.
        if (WSAAsyncSelect(socket_, hub_->window(), message_,
                           FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == SOCKET_ERROR)
            return failLater(WSAGetLastError());
        if (::connect(socket_, to, length) == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
            return failLater(WSAGetLastError());
        state_ = State::Connecting;
    }

    void event(int what, int error) {
        const unsigned generation = generation_;
        const auto alive = alive_;
        const auto same = [&] { return *alive && generation == generation_; };
        switch (what) {
        case FD_CONNECT:
            if (state_ != State::Connecting)
                return;
            if (error)
                return finish(error);
            KillTimer(hub_->window(), message_);
            state_ = State::Connected;
            // Copies: a handler may connect again or close, replacing the handlers held here.
            if (const auto connected = handlers_.connected)
                connected();
            if (same())
                flush();
            return;
        case FD_READ:
            return readAll();
        case FD_WRITE:
            return flush();
        case FD_CLOSE:
            if (state_ == State::Connected)
                readAll(); // what the server sent before it closed
            if (same() && state_ != State::Idle)
                finish(error);
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
                return finish(0);
            if (n == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK)
                    finish(error);
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
        PostMessageA(hub_->window(), message_, 0, 0);
    }

    void finish(int error) {
        const auto closed = std::move(handlers_.closed);
        reset();
        if (closed)
            closed(errorText(error));
    }

    void reset() {
        if (lookup_)
            WSACancelAsyncRequest(lookup_);
        lookup_ = nullptr;
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
        if (message_)
            hub_->remove(message_);
        message_ = 0;
        state_ = State::Idle;
        outbox_.clear();
        handlers_ = {};
    }

    std::shared_ptr<SocketHub> hub_;
    Handlers handlers_;
    State state_ = State::Idle;
    UINT message_ = 0;
    SOCKET socket_ = INVALID_SOCKET;
    HANDLE lookup_ = nullptr;
    std::vector<char> host_; // the looked-up host, filled by Winsock
    std::uint16_t port_ = 0;
    int failure_ = 0;
    std::string outbox_;
    // Counts the connects, so that a handler that connects again ends the work on the old one.
    unsigned generation_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

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
        addrinfo hints{};
        hints.ai_flags = AI_PASSIVE;
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int looked = getaddrinfo(address.host.empty() ? nullptr : address.host.c_str(),
                                       std::to_string(address.port).c_str(), &hints, &found);
        if (looked != 0)
            throw LinkError("Cannot listen on " + placeOf(address) + ": " + errorText(looked));
        SOCKET s = ::socket(found->ai_family, SOCK_DGRAM, IPPROTO_UDP);
        const BOOL on = TRUE;
        int error = 0;
        if (s == INVALID_SOCKET ||
            setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                       sizeof on) == SOCKET_ERROR ||
            ::bind(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == SOCKET_ERROR)
            error = WSAGetLastError();
        freeaddrinfo(found);
        if (!error) {
            message_ = hub_->add(this);
            if (WSAAsyncSelect(s, hub_->window(), message_, FD_READ) == SOCKET_ERROR)
                error = WSAGetLastError();
        }
        if (error) {
            if (s != INVALID_SOCKET)
                closesocket(s);
            if (message_)
                hub_->remove(message_);
            message_ = 0;
            throw LinkError("Cannot listen on " + placeOf(address) + ": " + errorText(error));
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

    void onMessage(WPARAM wp, LPARAM lp) override {
        if (static_cast<SOCKET>(wp) != socket_ || WSAGETSELECTEVENT(lp) != FD_READ)
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

    void onTimer() override {}

private:
    std::shared_ptr<SocketHub> hub_;
    std::vector<char> buffer_;
    SOCKET socket_ = INVALID_SOCKET;
    UINT message_ = 0;
    Receive onDatagram_;
    unsigned generation_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace

Win32Network::Win32Network() : hub_(std::make_shared<SocketHub>()) {}

Win32Network::~Win32Network() = default;

std::unique_ptr<IStreamLink> Win32Network::makeStreamLink() {
    return std::make_unique<StreamLink>(hub_);
}

std::unique_ptr<IDatagramSocket> Win32Network::makeDatagramSocket() {
    return std::make_unique<DatagramSocket>(hub_);
}

bool Win32Network::canListenOn(const std::string& host) {
    // TODO(issue work in progress): a trial bind.
    return !host.empty();
}

} // namespace veltaro::win32
