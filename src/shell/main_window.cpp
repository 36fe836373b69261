#include "shell/main_window.h"

#include "about/app_identity.h"
#include "platform/errors.h"
#include "relay/convert.h"
#include "shell/address_dialog.h"
#include "shell/on_top.h"
#include "sources/net_address.h"
#include "sources/registrations.h"

#include <exception>
#include <utility>

namespace veltaro {

MainWindow::MainWindow(MainWindowPlatform p)
    : p_(p), controls_(layout::mainWindow()), outputNotice_(p.dialogs, app::Title),
      settingsNotice_(p.dialogs, app::Title), settings_(p.settings, settingsNotice_, p.format),
      controller_(p.serial, p.dialogs, p.format),
      file_(p.files, p.dialogs,
            [this] { return settings_.read(key::FrequencyFilePath, Settings::FilesSection); }),
      tracker_({control("receivedLabel"), control("relayedLabel"), control("relayedMhzText")},
               controller_, file_, p.format),
      selector_(tracker_, p.dialogs, outputNotice_, p.clock, control("receivedLabel"),
                [this] { saveAll(); }) {
    control("portList").setItems(ControllerLink::portItems());
    controller_.stateChanged().subscribe([this] { selector_.pollStateChanged().notify(); });
    control("portList").setHandler([this] {
        guarded([this] {
            if (controller_.onPortPicked(control("portList").text()))
                saveAll();
        });
    });
    control("onTopBox").setHandler([this] { guarded([this] { onTopToggled(); }); });
    const SourceServices services{
        p.link,
        p.automation,
        p.system,
        p.network,
        p.clock,
        [this](const SourceRegistration& r) { return addressOf(r); },
        [this](const char* key) { return settings_.read(key, Settings::AddressesSection); }};
    for (const auto& r : sourceRegistrations()) {
        selector_.add(control(r.box), r, r.make(services));
        if (r.addressKey)
            control(r.box).setContextHandler([this, &r] {
                if (!unloaded_)
                    guarded([this, &r] { editAddress(r); });
            });
    }
}

namespace {

NetAddress defaultAddress(const SourceRegistration& r) {
    return parseNetAddress(r.defaultAddress, {}, nullptr).value_or(NetAddress{});
}

} // namespace

NetAddress MainWindow::addressOf(const SourceRegistration& r) {
    NetAddress defaults = defaultAddress(r);
    if (!r.addressKey)
        return defaults;
    const std::string stored = settings_.read(r.addressKey, Settings::AddressesSection);
    if (stored.empty())
        return defaults;
    return parseNetAddress(stored, defaults, nullptr).value_or(defaults);
}

void MainWindow::editAddress(const SourceRegistration& r) {
    Control& box = control(r.box);
    AddressDialogSetup setup{box.design().caption,
                             formatNetAddress(addressOf(r)),
                             defaultAddress(r),
                             [this, &r](const NetAddress& address) {
                                 settings_.write(r.addressKey, formatNetAddress(address),
                                                 Settings::AddressesSection);
                             },
                             {}};
    if (r.listens)
        setup.canListenOn = [this](const std::string& host) {
            return p_.network.canListenOn(host);
        };
    AddressDialog dialog(std::move(setup), p_.dialogs);
    p_.window.showAddressDialog(dialog);
    // A ticked source links to the new address at once.
    if (dialog.accepted() && !unloaded_)
        selector_.relink(box);
}

void MainWindow::guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        p_.dialogs.messageBox(e.what(), app::Title);
    }
}

void MainWindow::saveAll() {
    settings_.write(key::ComPort, std::to_string(controller_.portNumber()));
    settings_.writePosition(key::PositionLeft, p_.window.left());
    settings_.writePosition(key::PositionTop, p_.window.top());
    for (const auto& r : sourceRegistrations())
        settings_.write(r.settingsKey, std::to_string(control(r.box).value()));
}

void MainWindow::writeMissingPositions() {
    for (const auto& [name, twips] : {std::pair{key::PositionLeft, p_.window.left()},
                                      std::pair{key::PositionTop, p_.window.top()}})
        if (settings_.read(name).empty())
            settings_.writePosition(name, twips);
}

void MainWindow::load() {
    guarded([this] { startUp(); });
}

void MainWindow::startUp() {
    p_.window.setClientHeight(CollapsedClientHeight);

    // Missing keys get their defaults; the position is where the platform placed the window,
    // and one not placed yet is stored once it is (placed()).
    for (const auto& k : startUpKeys()) {
        if (!settings_.read(k.name).empty())
            continue;
        if (k.defaultText)
            settings_.write(k.name, k.defaultText);
        else if (p_.window.placed())
            writeMissingPositions();
    }

    if (auto left = settings_.readPosition(key::PositionLeft))
        p_.window.setLeft(*left);
    if (auto top = settings_.readPosition(key::PositionTop))
        p_.window.setTop(*top);

    std::string storedPort = settings_.read(key::ComPort);
    int storedNumber = 1;
    try {
        storedNumber = textToInt16(storedPort, p_.format);
    } catch (const Error&) {
        storedPort = "1"; // stored text that names no number
    }
    controller_.setPortNumber(storedNumber);

    // Each key is read at its own step: a box restored ticked saves the settings, and the keys
    // after it read what that save stored.
    control("onTopBox").setValue(settings_.readBoxState(key::OnTop));
    control("portList").setItems(controller_.refreshPortItems());
    control("portList").setText(controller_.itemFor(storedNumber, storedPort));
    for (const auto& r : sourceRegistrations())
        control(r.box).setValue(settings_.readBoxState(r.settingsKey));

    controller_.openAtStartup(storedNumber, storedPort);
    tracker_.forgetRelayed();
    selector_.relinkTicked();
}

void MainWindow::placed() {
    if (!unloaded_)
        writeMissingPositions();
}

void MainWindow::unload() {
    if (unloaded_)
        return;
    saveAll();
    unloaded_ = true;
    selector_.closeAll();
    controller_.close();
}

void MainWindow::run(layout::Command command) {
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
            p_.help.showHelp(3, app::HelpFile);
            break;
        case layout::Command::About:
            p_.window.showAbout();
            break;
        default:
            break;
        }
    });
}

void MainWindow::poll() {
    if (unloaded_)
        return;
    guarded([this] { selector_.poll(); });
    polled_.notify();
}

void MainWindow::reopenTick() {
    if (!unloaded_)
        guarded([this] { controller_.reopenTick(); });
}

void MainWindow::portListOpening() {
    if (!unloaded_)
        guarded([this] { control("portList").setItems(controller_.refreshPortItems()); });
}

void MainWindow::onTopToggled() {
    const std::int16_t state = control("onTopBox").value();
    try {
        SetFormOnTop(p_.window, state == 1);
    } catch (const Error&) {
        // A rectangle that cannot be expressed in pixels leaves the window as it is.
    }
    settings_.write(key::OnTop, std::to_string(state));
}

} // namespace veltaro
