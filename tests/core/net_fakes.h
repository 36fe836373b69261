// Fakes of the network and the clock: a stream link whose server the test plays (it sees every
// request sent and answers, accepts or closes when told), a datagram socket the test feeds, and
// a clock moved by hand.
#pragma once

#include "platform/clock.h"
#include "platform/network.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro::test {

class FakeClock : public IClock {
public:
    std::int64_t nowMs() const override { return now; }
    std::int64_t now = 1000;
};

class FakeStreamLink : public IStreamLink {
public:
    void connect(const NetAddress& address, Handlers handlers) override {
        to = address;
        h = std::move(handlers);
        open = true;
        ++connects;
    }
    void send(std::string_view bytes) override { sent.emplace_back(bytes); }
    void close() override { open = false; }

    // The server's side.
    void accept() { h.connected(); }
    void reply(std::string_view bytes) { h.received(bytes); }
    void end() {
        open = false;
        h.closed("closed by the server");
    }

    NetAddress to;
    Handlers h;
    bool open = false;
    int connects = 0;
    std::vector<std::string> sent;
};

class FakeDatagramSocket : public IDatagramSocket {
public:
    void listen(const NetAddress& address, Receive onDatagram) override {
        at = address;
        receive = std::move(onDatagram);
        open = true;
    }
    void close() override { open = false; }

    void arrive(std::string_view datagram) const {
        if (open)
            receive(datagram);
    }

    NetAddress at;
    Receive receive;
    bool open = false;
};

// Hands out one link and one socket, kept for the test to play with.
class FakeNetwork : public INetwork {
public:
    std::unique_ptr<IStreamLink> makeStreamLink() override {
        auto l = std::make_unique<FakeStreamLink>();
        link = l.get();
        return l;
    }
    std::unique_ptr<IDatagramSocket> makeDatagramSocket() override {
        auto s = std::make_unique<FakeDatagramSocket>();
        socket = s.get();
        return s;
    }

    bool canListenOn(const std::string& host) override { return host.rfind("192.0.2.", 0) != 0; }

    FakeStreamLink* link = nullptr;
    FakeDatagramSocket* socket = nullptr;
};

} // namespace veltaro::test
