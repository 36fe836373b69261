// Responsibilities: the keep-above placement of the main window: its outer rectangle in pixels,
// handed to the platform with the band it goes into.
// Collaborations: the main window's model runs it when On Top is ticked or cleared, and at the
// restore of the box; IWindowHost gives the geometry and places the window.
#pragma once

#include "view/window_host.h"

namespace veltaro {

// Computes the window's rectangle in pixels (halves to even) and puts the window into the
// always-above band (above) or out of it. A rectangle that cannot be expressed in pixels
// leaves the window as it is.
void placeKeepAbove(IWindowHost& window, bool above);

} // namespace veltaro
