#include "view/address_dialog.h"

#include "base/identity.h"
#include "protocols/net_address.h"

#include <utility>

namespace veltaro {

AddressDialogModel::AddressDialogModel(AddressDialogSetup setup, IDialogs& dialogs)
    : setup_(std::move(setup)), dialogs_(dialogs), controls_(layout::addressDialog()),
      title_(setup_.title.empty() ? setup_.sourceName + " address" : setup_.title) {
    control("addressText").setText(setup_.address);
}

void AddressDialogModel::run(layout::Command command) {
    if (finished_)
        return;
    if (command == layout::Command::Cancel) {
        finish(false);
        return;
    }
    if (command != layout::Command::Ok)
        return;
    const std::string& text = control("addressText").text();
    std::string why;
    const auto address = parseNetAddress(text, setup_.defaults, &why);
    if (!address) {
        dialogs_.messageBox("The address \"" + text + "\" cannot be used: " + why +
                                "\nWrite HOST:PORT, PORT or [IPv6]:PORT.",
                            app::Title);
        return;
    }
    if (setup_.canListenOn && !setup_.canListenOn(address->host)) {
        dialogs_.messageBox("The address \"" + text + "\" cannot be used: " + address->host +
                                " is not an address of this computer.\nGive an address of this "
                                "computer (127.0.0.1 when the logger runs here).",
                            app::Title);
        return;
    }
    if (setup_.store)
        setup_.store(*address);
    finish(true);
}

void AddressDialogModel::finish(bool accepted) {
    finished_ = true;
    accepted_ = accepted;
    finishedSignal_.notify();
}

} // namespace veltaro
