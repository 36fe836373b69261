// Responsibilities: the logic of the small dialog in which the user edits where a network source
// links (its "HOST:PORT"): its controls (one per entry of its description), its title, the text
// it opens with, and OK and Cancel. OK checks the text: a bad address, or for a source that
// listens an address that is not this computer's, is refused with a message naming the reason,
// the dialog stays open and nothing is stored; a good one is handed to the dialog's owner to
// store, and the dialog finishes. Cancel finishes it without storing anything.
// Collaborations: view/main_window_model makes one when the user asks for a source box's context
// menu, or the port list's "Network controller...", and shows it through
// IWindowHost::showAddressDialog; the front ends build the dialog from
// layout::addressDialog(), mirror controls(), forward the buttons' commands to run() and close
// the dialog once finished() is told; protocols/net_address checks the text.
#pragma once

#include "ports/network.h"
#include "view/control.h"
#include "view/dialogs.h"
#include "view/window_layout.h"

#include <functional>
#include <string>

namespace veltaro {

struct AddressDialogSetup {
    std::string sourceName; // the box's caption: "Hamlib"
    std::string address;    // the address in use now, "HOST:PORT"
    NetAddress defaults;    // what a text without a host takes its host from
    // Stores an address the user accepted; it takes effect at the source's next link.
    std::function<void(const NetAddress&)> store;
    // For a source that listens: whether this computer can listen on the host. Empty for a
    // source that reaches a server.
    std::function<bool(const std::string& host)> canListenOn;
    // The title bar's text when it is not the source's name and "address".
    std::string title;
};

class AddressDialogModel {
public:
    AddressDialogModel(AddressDialogSetup setup, IDialogs& dialogs);
    AddressDialogModel(const AddressDialogModel&) = delete;
    AddressDialogModel& operator=(const AddressDialogModel&) = delete;

    const layout::WindowSpec& layout() const { return layout::addressDialog(); }
    ControlSet& controls() { return controls_; }
    Control& control(std::string_view name) { return controls_[name]; }
    // The title bar's text: "Hamlib address", or the one the setup gives.
    const std::string& title() const { return title_; }

    // Ok: checks and stores the address (see above); Cancel: finishes, storing nothing. Closing
    // the dialog any other way (its title bar, Esc) is Cancel.
    void run(layout::Command command);

    // Told once, when OK accepted the address or Cancel was run: the front end closes the dialog.
    Signal& finishedSignal() { return finishedSignal_; }
    bool finished() const { return finished_; }
    bool accepted() const { return accepted_; }

private:
    void finish(bool accepted);

    AddressDialogSetup setup_;
    IDialogs& dialogs_;
    ControlSet controls_;
    std::string title_;
    Signal finishedSignal_;
    bool finished_ = false;
    bool accepted_ = false;
};

} // namespace veltaro
