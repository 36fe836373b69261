#include "view/keep_above.h"

#include "base/numbers.h"

namespace veltaro {

void placeKeepAbove(IWindowHost& window, bool above) {
    const double fx = window.twipsPerPixelX();
    const double fy = window.twipsPerPixelY();
    // All four are converted before the platform is called, so a bad value changes nothing.
    const auto x = roundToInt32(window.left() / fx);
    const auto y = roundToInt32(window.top() / fy);
    const auto width = roundToInt32(window.width() / fx);
    const auto height = roundToInt32(window.height() / fy);
    if (x && y && width && height)
        window.setKeepAbove(above, {*x, *y, *width, *height});
}

} // namespace veltaro
