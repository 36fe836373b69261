#include "shell/on_top.h"

#include "relay/convert.h"

namespace veltaro {

void SetFormOnTop(IWindowHost& window, bool flag) {
    const double fx = window.twipsPerPixelX();
    const double fy = window.twipsPerPixelY();
    // All four are converted before the platform is called, so a bad value changes nothing.
    const int x = roundToInt32(window.left() / fx);
    const int y = roundToInt32(window.top() / fy);
    const int cx = roundToInt32(window.width() / fx);
    const int cy = roundToInt32(window.height() / fy);
    window.setWindowPos(flag, x, y, cx, cy);
}

} // namespace veltaro
