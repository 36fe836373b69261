#include "view/main_window_model.h"

#include "base/identity.h"
#include "protocols/net_address.h"
#include "view/address_dialog.h"
#include "view/keep_above.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <optional>
#include <utility>

namespace veltaro {

namespace {

std::string checkText(Check c) {
    return std::to_string(static_cast<int>(c));
}

Check checkOf(std::int16_t stored) {
    return static_cast<Check>(stored);
}

const char* boxOf(SourceId id) {
    for (const auto& b : layout::sourceBoxes())
        if (b.source == id)
            return b.box;
    return nullptr;
}

// The controller's lists: each item's caption and the setting it stands for, in list order.
constexpr std::pair<ControllerSetup::Protocol, const char*> ProtocolItems[] = {
    {ControllerSetup::Protocol::Fa, "FA (Data In)"},
    {ControllerSetup::Protocol::Steppir, "SteppIR (Data Out)"},
};
constexpr std::pair<steppir::Direction, const char*> DirectionItems[] = {
    {steppir::Direction::Normal, "Normal"},
    {steppir::Direction::Reverse, "180\u00B0"},
    {steppir::Direction::BiDir, "Bi-directional"},
    {steppir::Direction::ThreeQuarter, "3/4 wave"},
};

std::string baudItem(int baud) {
    return std::to_string(baud) + " baud";
}

// The transmit-inhibit line's lists.
constexpr const char* NoInterlockItem = "No transmit-inhibit line";
constexpr std::pair<IModemLine::Line, const char*> LineItems[] = {
    {IModemLine::Line::Rts, "RTS line"},
    {IModemLine::Line::Dtr, "DTR line"},
};
constexpr std::pair<InterlockSetup::Permit, const char*> PermitItems[] = {
    {InterlockSetup::Permit::Asserted, "Asserted = TX permitted"},
    {InterlockSetup::Permit::Cleared, "Cleared = TX permitted"},
};
constexpr int HoldChoicesMs[] = {1000, 2000, 3000, 5000};

std::string holdItem(int ms) {
    return "Hold " + std::to_string(ms) + " ms";
}

std::string comItem(int n) {
    return "Com " + std::to_string(n);
}

// Where the controller's serial server is asked for: the one in use, else a usual one.
constexpr const char* ServerDefault = "192.168.1.50:4001";

template <class T, std::size_t N>
std::vector<std::string> captions(const std::pair<T, const char*> (&items)[N]) {
    std::vector<std::string> out;
    for (const auto& item : items)
        out.emplace_back(item.second);
    return out;
}

template <class T, std::size_t N>
std::string captionOf(const std::pair<T, const char*> (&items)[N], T value) {
    for (const auto& item : items)
        if (item.first == value)
            return item.second;
    return {};
}

// Where the list's text stands among its items; nothing when it is none of them.
std::optional<std::size_t> shownIndex(const Control& list) {
    for (std::size_t i = 0; i < list.items().size(); ++i)
        if (list.items()[i] == list.text())
            return i;
    return std::nullopt;
}

} // namespace

MainWindowModel::MainWindowModel(RelaySession& session, MainWindowPorts p)
    : session_(session), p_(p), controls_(layout::mainWindow()),
      received_(control("receivedLabel")), relayed_(control("relayedLabel")),
      antenna_(control("antennaLabel")) {
    session_.addObserver(*this);
    control("portList").setItems(ControllerLink::portItems());
    control("portList").setHandler([this] { guarded([this] { onPortPicked(); }); });
    std::vector<std::string> bauds;
    for (const int b : ControllerSetup::Bauds)
        bauds.push_back(baudItem(b));
    for (auto& [name, items, tip] :
         {std::tuple{"protocolList", captions(ProtocolItems),
                     "How the antenna controller is spoken to"},
          {"baudList", bauds, "The baud rate of the controller's Data Out port"},
          {"directionList", captions(DirectionItems), "The elements' direction"}}) {
        Control& list = control(name);
        list.setItems(items);
        list.setToolTip(tip);
        list.setHandler([this] { guarded([this] { onControllerPicked(); }); });
    }
    for (auto& [name, tip] :
         {std::pair{"interlockPortList", "The serial adapter whose line tells the radio whether it "
                                         "may transmit; not the controller's port"},
          {"interlockLineList", "The line of that adapter that tells the radio"},
          {"interlockPermitList", "The line's level at which the radio may transmit"},
          {"interlockHoldList", "How long transmitting is held off after each FA command"}}) {
        control(name).setToolTip(tip);
        control(name).setHandler([this] { guarded([this] { onInterlockPicked(); }); });
    }
    control("interlockLineList").setItems(captions(LineItems));
    control("interlockPermitList").setItems(captions(PermitItems));
    antennaChanged(session_.antenna());
    interlockChanged(session_.interlock());
    control("onTopBox").setHandler([this] { guarded([this] { onTopToggled(); }); });
    for (const auto& r : sourceRegistrations()) {
        Control& box = control(boxOf(r.id));
        box.setHandler([this, id = r.id, &box] { onBoxToggled(id, box); });
        if (r.addressKey)
            box.setContextHandler([this, &r, &box] {
                if (!unloaded_)
                    guarded([this, &r, &box] { editAddress(r, box); });
            });
    }
}

void MainWindowModel::guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        p_.dialogs.messageBox(e.what(), app::Title);
    }
}

void MainWindowModel::noticed(const Notice& notice) {
    if (notice.timing == NoticeTiming::AtOnce)
        p_.dialogs.messageBox(notice.text, app::Title);
    else
        p_.dialogs.postMessage(notice.text, app::Title);
}

void MainWindowModel::commandSent(const ControllerLink::SendOutcome&, const std::string& mhzText) {
    control("relayedMhzText").setText(mhzText);
}

void MainWindowModel::readingTaken(std::int32_t receivedKHz, std::int32_t relayedKHz) {
    received_.setText(std::to_string(receivedKHz));
    relayed_.setText(std::to_string(relayedKHz));
}

void MainWindowModel::linkChanged(const LinkStatus& status) {
    Control& indicator = received_;
    indicator.setEnabled(!status.source || status.state == LinkState::Linked);
    indicator.setToolTip(status.source ? status.describe() : std::string());
}

void MainWindowModel::antennaChanged(const AntennaStatus& status) {
    antenna_.setText("Antenna: " + describeAntenna(status));
    // Transmitting into elements that move is what an operator must not miss.
    antenna_.setEmphasised(status.motorsRunning || status.state == AntennaStatus::State::Moving);
}

void MainWindowModel::interlockChanged(const InterlockState& state) {
    using Kind = InterlockState::Kind;
    Control& line = control("interlockLabel");
    std::string reason = reasonText(state.reason);
    // The FA path knows nothing of the antenna: its hold is a guess.
    if (state.reason == InterlockState::Reason::Hold)
        reason += ", blind";
    switch (state.kind) {
    case Kind::Off:
        line.setText(NoInterlockItem);
        break;
    case Kind::Permitted:
        line.setText("Transmit: permitted");
        break;
    case Kind::Inhibited:
        line.setText("Transmit: inhibited (" + reason + ")");
        break;
    case Kind::Failed:
        line.setText("Transmit-inhibit line failed: " + reason);
        break;
    }
    // The radio must not transmit, or nothing holds it back when it should.
    line.setEmphasis(state.kind == Kind::Inhibited || state.kind == Kind::Failed ? Emphasis::Alarm
                                                                                 : Emphasis::None);
}

void MainWindowModel::onBoxToggled(SourceId id, Control& box) {
    if (box.ticked()) {
        // Each box cleared here runs its own handling, nested: it saves, and the session stops
        // its source as it starts this one.
        switching_ = true;
        for (const auto& b : layout::sourceBoxes())
            if (b.source != id)
                control(b.box).setCheck(Check::Clear);
        switching_ = false;
        // A source whose program does not answer stays ticked, told, and saves nothing.
        if (!session_.choose(id))
            return;
    } else if (!switching_) {
        session_.clear(id);
    }
    saveAll();
}

void MainWindowModel::onPortPicked() {
    if (control("portList").text() == ControllerLink::NetworkControllerItem) {
        askForNetworkController();
        return;
    }
    if (session_.controller().onPortPicked(control("portList").text()))
        saveAll();
}

void MainWindowModel::showPortInUse() {
    ControllerLink& controller = session_.controller();
    control("portList")
        .setText(controller.itemFor(controller.portNumber(), controller.portShownAs()));
}

void MainWindowModel::refreshPortLists() {
    control("portList").setItems(session_.controller().refreshPortItems());
    fillInterlockPorts();
}

// The list shows the port in use until the user names a serial server that is then opened; it
// is connected to, never listened on, so any name or address is taken.
void MainWindowModel::askForNetworkController() {
    showPortInUse();
    ControllerLink& controller = session_.controller();
    const auto inUse = controller.serverAddress();
    const NetAddress usual = parseNetAddress(ServerDefault, {}, nullptr).value_or(NetAddress{});
    bool opened = false;
    AddressDialogSetup setup{{},
                             formatNetAddress(inUse.value_or(usual)),
                             usual,
                             [this, &opened](const NetAddress& address) {
                                 opened = session_.controller().openNetworkController(address);
                             },
                             {},
                             "Serial server of the antenna controller"};
    AddressDialogModel dialog(std::move(setup), p_.dialogs);
    p_.window.showAddressDialog(dialog);
    if (!opened)
        return;
    refreshPortLists();
    showPortInUse();
    saveAll();
}

void MainWindowModel::onControllerPicked() {
    ControllerSetup setup = session_.controllerSetup();
    if (const auto i = shownIndex(control("protocolList")))
        setup.protocol = ProtocolItems[*i].first;
    if (const auto i = shownIndex(control("baudList")))
        setup.baud = ControllerSetup::Bauds[*i];
    if (const auto i = shownIndex(control("directionList")))
        setup.direction = DirectionItems[*i].first;
    session_.setControllerSetup(setup);
    showControllerSetup(session_.controllerSetup());
}

void MainWindowModel::showControllerSetup(const ControllerSetup& setup) {
    control("protocolList").setText(captionOf(ProtocolItems, setup.protocol));
    control("baudList").setText(baudItem(setup.baud));
    control("directionList").setText(captionOf(DirectionItems, setup.direction));
    // The FA path speaks at 4800 baud and sends no direction.
    const bool steppir = setup.protocol == ControllerSetup::Protocol::Steppir;
    control("baudList").setEnabled(steppir);
    control("directionList").setEnabled(steppir);
    // The SteppIR path holds off while the antenna moves, not for a fixed time.
    control("interlockHoldList").setEnabled(!steppir);
}

void MainWindowModel::fillInterlockPorts() {
    std::vector<std::string> items{NoInterlockItem};
    interlockPorts_ = {std::nullopt};
    const auto add = [&](int n, std::string item) {
        items.push_back(std::move(item));
        interlockPorts_.emplace_back(n);
    };
    for (int n = 1; n < ControllerLink::FirstFreeNumber; ++n)
        add(n, comItem(n));
    // The present devices as the port list shows them; serial servers have no lines.
    for (const PresentPort& p : session_.controller().presentPorts())
        if (p.number >= ControllerLink::FirstFreeNumber)
            add(p.number, p.item);
    const auto stored = session_.interlockSetup().port;
    if (stored &&
        std::find(interlockPorts_.begin(), interlockPorts_.end(), stored) == interlockPorts_.end())
        add(*stored, comItem(*stored));
    Control& list = control("interlockPortList");
    list.setItems(std::move(items));
    const auto at = std::find(interlockPorts_.begin(), interlockPorts_.end(), stored);
    list.setText(list.items()[static_cast<std::size_t>(at - interlockPorts_.begin())]);
}

void MainWindowModel::showInterlockSetup(const InterlockSetup& setup) {
    fillInterlockPorts();
    control("interlockLineList").setText(captionOf(LineItems, setup.line));
    control("interlockPermitList").setText(captionOf(PermitItems, setup.permit));
    interlockHolds_.assign(std::begin(HoldChoicesMs), std::end(HoldChoicesMs));
    if (std::find(interlockHolds_.begin(), interlockHolds_.end(), setup.holdMs) ==
        interlockHolds_.end())
        interlockHolds_.push_back(setup.holdMs); // stored by hand: kept
    std::vector<std::string> holds;
    for (const int ms : interlockHolds_)
        holds.push_back(holdItem(ms));
    control("interlockHoldList").setItems(std::move(holds));
    control("interlockHoldList").setText(holdItem(setup.holdMs));
}

void MainWindowModel::onInterlockPicked() {
    InterlockSetup setup = session_.interlockSetup();
    if (const auto i = shownIndex(control("interlockPortList")); i && *i < interlockPorts_.size())
        setup.port = interlockPorts_[*i];
    if (const auto i = shownIndex(control("interlockLineList")))
        setup.line = LineItems[*i].first;
    if (const auto i = shownIndex(control("interlockPermitList")))
        setup.permit = PermitItems[*i].first;
    if (const auto i = shownIndex(control("interlockHoldList")); i && *i < interlockHolds_.size())
        setup.holdMs = interlockHolds_[*i];
    session_.setInterlockSetup(setup);
    showInterlockSetup(session_.interlockSetup());
}

void MainWindowModel::editAddress(const SourceRegistration& r, const Control& box) {
    AddressDialogSetup setup{
        box.design().caption,
        formatNetAddress(session_.addressOf(r)),
        parseNetAddress(r.defaultAddress, {}, nullptr).value_or(NetAddress{}),
        // Stored, and the ticked source links to it at once.
        [this, &r](const NetAddress& address) { session_.setAddress(r, address); },
        {},
        {}};
    if (r.listens)
        setup.canListenOn = [this](const std::string& host) { return session_.canListenOn(host); };
    AddressDialogModel dialog(std::move(setup), p_.dialogs);
    p_.window.showAddressDialog(dialog);
}

void MainWindowModel::saveAll() {
    Settings& settings = session_.settings();
    settings.write(key::ComPort, std::to_string(session_.controller().portNumber()));
    settings.writePosition(key::PositionLeft, p_.window.left());
    settings.writePosition(key::PositionTop, p_.window.top());
    for (const auto& r : sourceRegistrations())
        settings.write(r.settingsKey, checkText(control(boxOf(r.id)).check()));
}

void MainWindowModel::writeMissingPositions() {
    Settings& settings = session_.settings();
    for (const auto& [name, twips] : {std::pair{key::PositionLeft, p_.window.left()},
                                      std::pair{key::PositionTop, p_.window.top()}})
        if (settings.read(name).empty())
            settings.writePosition(name, twips);
}

void MainWindowModel::writeMissingDefaults() {
    // The position is where the platform placed the window; one not placed yet is stored once
    // it is (placed()).
    Settings& settings = session_.settings();
    for (const auto& k : startUpKeys()) {
        if (!settings.read(k.name).empty())
            continue;
        if (k.defaultText)
            settings.write(k.name, k.defaultText);
        else if (p_.window.placed())
            writeMissingPositions();
    }
}

void MainWindowModel::load() {
    guarded([this] { startUp(); });
}

void MainWindowModel::startUp() {
    p_.window.setClientHeight(CollapsedClientHeight);
    writeMissingDefaults();
    Settings& settings = session_.settings();
    if (auto left = settings.readPosition(key::PositionLeft))
        p_.window.setLeft(*left);
    if (auto top = settings.readPosition(key::PositionTop))
        p_.window.setTop(*top);

    const StoredPort stored = session_.storedPort();
    ControllerLink& controller = session_.controller();
    controller.setPortNumber(stored.number);

    // Each key is read at its own step: a box restored ticked saves the settings, and the keys
    // after it read what that save stored.
    control("onTopBox").setCheck(checkOf(settings.readBoxState(key::OnTop)));
    control("portList").setItems(controller.refreshPortItems());
    control("portList").setText(controller.itemFor(stored.number, stored.text));
    showControllerSetup(session_.controllerSetup());
    showInterlockSetup(session_.interlockSetup());
    for (const auto& r : sourceRegistrations())
        control(boxOf(r.id)).setCheck(checkOf(settings.readBoxState(r.settingsKey)));

    session_.openPortAndRelink(stored);
}

void MainWindowModel::placed() {
    if (!unloaded_)
        writeMissingPositions();
}

void MainWindowModel::unload() {
    if (unloaded_)
        return;
    saveAll();
    unloaded_ = true;
    session_.end();
}

void MainWindowModel::run(layout::Command command) {
    guarded([&] {
        switch (command) {
        case layout::Command::Exit:
            saveAll();
            p_.window.close();
            break;
        case layout::Command::Setup:
            p_.window.setClientHeight(ExpandedClientHeight);
            break;
        case layout::Command::HideSetup:
            p_.window.setClientHeight(CollapsedClientHeight);
            break;
        case layout::Command::HelpIndex:
            p_.manual.open();
            break;
        case layout::Command::About:
            p_.window.showAbout();
            break;
        default:
            break;
        }
    });
}

void MainWindowModel::portListOpening() {
    if (!unloaded_)
        guarded([this] { refreshPortLists(); });
}

void MainWindowModel::onTopToggled() {
    const Check state = control("onTopBox").check();
    placeKeepAbove(p_.window, state == Check::Ticked);
    session_.settings().write(key::OnTop, checkText(state));
}

} // namespace veltaro
