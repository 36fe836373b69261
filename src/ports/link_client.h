// Responsibilities: a hot link to an item that another program publishes: connecting to a
// service, topic and item, every value delivered, the loss of the link, and the service's
// appearance while it is watched for.
// Collaborations: sources/hot_link_source connects through it; adapters/qt implements it over
// the D-Bus link contract (docs/linux-links.md), adapters/win32 over DDEML; tests use a fake.
#pragma once

#include <functional>
#include <string>

namespace veltaro {

class ILinkClient {
public:
    struct Address {
        std::string service;
        std::string topic;
        std::string item;
    };
    using Delivery = std::function<void(const std::string& value)>;
    using Loss = std::function<void()>;

    virtual ~ILinkClient() = default;

    // Replaces any link with one to the item. Its current value is delivered before this
    // returns, and every later change after, on the user-interface thread. onLost runs when the
    // server ends the link or a new server takes the service over (a restart), where the
    // platform tells. Raises LinkError when no server answers; there is then no link.
    virtual void connect(const Address& address, Delivery onValue, Loss onLost) = 0;
    // Ends the link, if any; nothing is delivered afterwards. Ends a watch too.
    virtual void disconnect() = 0;
    // While there is no link: onAppeared runs (from the event loop) when a server of the service
    // registers, where the platform tells; where it cannot, nothing runs and the caller's retry
    // finds the server. connect() and disconnect() end the watch.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): overrides keep the handler
    virtual void watch(const Address& address, std::function<void()> onAppeared) {
        (void)address;
        (void)onAppeared;
    }
};

} // namespace veltaro
