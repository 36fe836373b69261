// The adapter tests re-run their own binary to try one action in a fresh process, for instance
// as the user nobody. The child's exit code tells what the action raised; it prints the message.
#pragma once

#include "test_support.h"

namespace veltaro::qt::test {

enum Outcome { Done = 0, RaisedPortError = 3, RaisedFileError = 4, RaisedError = 5, BadMode = 6 };

// Modes: "open" DEVICE (as COM5), "write-file" PATH TEXT, "write-setting" KEY VALUE and
// "read-settings" KEY... (StartUp keys of Veltaro, one percent-encoded value a line).
support::Finished inChild(const QString& mode, const QStringList& args, bool asNobody = false);

} // namespace veltaro::qt::test
