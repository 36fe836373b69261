#include "view/main_window_model.h"

#include "base/identity.h"
#include "protocols/net_address.h"
#include "view/address_dialog.h"
#include "view/keep_above.h"

#include <exception>
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

} // namespace

MainWindowModel::MainWindowModel(RelaySession& session, MainWindowPorts p)
    : session_(session), p_(p), controls_(layout::mainWindow()),
      received_(control("receivedLabel")), relayed_(control("relayedLabel")) {
    session_.addObserver(*this);
    control("portList").setItems(ControllerLink::portItems());
    control("portList").setHandler([this] { guarded([this] { onPortPicked(); }); });
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
    if (session_.controller().onPortPicked(control("portList").text()))
        saveAll();
}

void MainWindowModel::editAddress(const SourceRegistration& r, const Control& box) {
    AddressDialogSetup setup{
        box.design().caption,
        formatNetAddress(session_.addressOf(r)),
        parseNetAddress(r.defaultAddress, {}, nullptr).value_or(NetAddress{}),
        // Stored, and the ticked source links to it at once.
        [this, &r](const NetAddress& address) { session_.setAddress(r, address); },
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
        guarded([this] { control("portList").setItems(session_.controller().refreshPortItems()); });
}

void MainWindowModel::onTopToggled() {
    const Check state = control("onTopBox").check();
    placeKeepAbove(p_.window, state == Check::Ticked);
    session_.settings().write(key::OnTop, checkText(state));
}

} // namespace veltaro
