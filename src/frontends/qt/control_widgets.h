// Responsibilities: builds the widgets of a described window (view/window_layout) on a parent
// widget: each control at its place in twips converted at the screen's logical DPI, in tab
// order, named as described; mirrors every Control into its widget (text, value, items, greyed,
// tooltip, a label's emphasis: amber or, for an alarm, red behind bold text) and hands the user's
// clicks, picks, edits, commands and context-menu requests back to it; paints the described lines.
// Collaborations: QtMainWindow, AboutDialog and QtAddressDialog build their client areas with it;
// the Controls belong to the models: MainWindowModel, AboutBox and AddressDialogModel.
#pragma once

#include "view/control.h"
#include "view/window_layout.h"

#include <QColor>
#include <QPixmap>
#include <QRect>

#include <functional>

class QPainter;
class QWidget;

namespace veltaro::qt {

// Twips per pixel of the screen that shows the widget (15 at 96 dpi).
double twipsPerPixel(const QWidget* widget, bool vertical);
QRect pixelRect(const QWidget* widget, const layout::TwipsRect& twips);
// Behind the text of an emphasised label: a caution, and an alarm (with white text).
inline const QColor EmphasisColour{0xFF, 0xBF, 0x00};
inline const QColor AlarmColour{0xC8, 0x10, 0x10};

struct WidgetOptions {
    std::function<void(layout::Command)> onCommand; // buttons
    QPixmap icon;                                   // for the Icon control
    std::function<void()> onListOpening = {};       // a list is about to drop down
};

// Creates the widgets of every control but the lines, on parent.
void buildControls(QWidget* parent, const layout::WindowSpec& window, ControlSet& controls,
                   const WidgetOptions& options);
// Draws the window's lines; call from the parent's paintEvent.
void paintLines(QPainter& painter, const QWidget* parent, const layout::WindowSpec& window);

} // namespace veltaro::qt
