// The always-on-top placement of the main window.
#pragma once

#include "platform/window_host.h"

namespace veltaro {

// Computes the window's rectangle in pixels (half to even) and hands it to the platform with the
// band; raises OverflowError before calling the platform when a value is out of range.
void SetFormOnTop(IWindowHost& window, bool flag);

} // namespace veltaro
