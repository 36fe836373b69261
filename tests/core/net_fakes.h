// Fakes of the network and the clock: a stream link whose server the test plays (it sees every
// request sent and answers, accepts or closes when told), a datagram socket the test feeds, a
// datagram sender that keeps what it sent (or fails as told), and a clock moved by hand.
#pragma once

#include "ports/clock.h"
#include "ports/network.h"

#include <cstdint>
#include <memory>
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
    void end(const std::string& reason = "closed by the server") {
        open = false;
        h.closed(reason);
    }

    NetAddress to;
    Handlers h;
    bool open = false;
    int connects = 0;
    std::vector<std::string> sent;
};

// Listens anywhere but on 192.0.2.x ("another machine"), or fails as told.
class FakeDatagramSocket : public IDatagramSocket {
public:
    void listen(const NetAddress& address, Receive onDatagram) override {
        ++listens;
        if (address.host.starts_with("192.0.2."))
            throw BindError(BindError::Cause::NotHere,
                            address.host + " is not an address of this computer");
        if (taken)
            throw BindError(BindError::Cause::InUse, "port " + std::to_string(address.port) +
                                                         " is taken by another program");
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
    bool taken = false; // another program holds the port
    int listens = 0;
};

// Keeps each datagram sent; refuses an address or fails its sends as told.
class FakeDatagramSender : public IDatagramSender {
public:
    void open(const NetAddress& address) override {
        if (!refusal.empty())
            throw LinkError(refusal, LinkError::Retry::Useless);
        to = address;
        isOpen = true;
    }
    bool send(std::string_view datagram, std::string& why) override {
        ++attempts;
        why = isOpen ? failure : "not open";
        if (!why.empty())
            return false;
        sent.emplace_back(datagram);
        return true;
    }
    void close() override { isOpen = false; }

    NetAddress to;
    bool isOpen = false;
    std::string refusal; // when set, open() raises it
    std::string failure; // when set, each send fails with it
    int attempts = 0;
    std::vector<std::string> sent;
};

// Hands out one link, one socket and one sender, kept for the test to play with.
class FakeNetwork : public INetwork {
public:
    std::unique_ptr<IStreamLink> makeStreamLink() override {
        auto l = std::make_unique<FakeStreamLink>();
        link = l.get();
        return l;
    }
    std::unique_ptr<IDatagramSocket> makeDatagramSocket() override {
        auto s = std::make_unique<FakeDatagramSocket>();
        s->taken = portTaken;
        socket = s.get();
        return s;
    }

    std::unique_ptr<IDatagramSender> makeDatagramSender() override {
        auto s = std::make_unique<FakeDatagramSender>();
        sender = s.get();
        return s;
    }

    bool canListenOn(const std::string& host) override { return host.rfind("192.0.2.", 0) != 0; }

    FakeStreamLink* link = nullptr;
    FakeDatagramSocket* socket = nullptr;
    FakeDatagramSender* sender = nullptr;
    bool portTaken = false; // for the socket made next
};

} // namespace veltaro::test
