// The window manager's view of a window, read with the X utilities, and bounded waits.
#pragma once

#include "test_support.h"
#include "ui/support.h"

#include <QGuiApplication>
#include <QRect>
#include <QRegularExpression>

#include <gtest/gtest.h>

#define SKIP_WITHOUT_DISPLAY()                                                                     \
    do {                                                                                           \
        if (QGuiApplication::platformName() != QLatin1String("xcb"))                               \
            GTEST_SKIP() << "no DISPLAY";                                                          \
    } while (0)

namespace veltaro::test {

// Runs a tool and returns its standard output; a tool that hangs is killed.
inline QString tool(const QString& program, const QStringList& args) {
    return support::run(program, args, QProcessEnvironment::systemEnvironment(), 5000).out;
}

inline QString windowProperty(WId wid, const char* property) {
    return tool("xprop", {"-id", QString::number(wid), property});
}

inline bool isAbove(WId wid) {
    return windowProperty(wid, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE");
}

// _NET_WM_NAME as text, or empty.
inline QString windowName(WId wid) {
    const auto m = QRegularExpression("= \"(.*)\"").match(windowProperty(wid, "_NET_WM_NAME"));
    return m.hasMatch() ? m.captured(1) : QString();
}

inline WId activeWindow() {
    const QString out = tool("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
    const auto m = QRegularExpression("window id # (0x[0-9a-fA-F]+)").match(out);
    return m.hasMatch() ? m.captured(1).toULongLong(nullptr, 16) : 0;
}

// left, right, top, bottom; empty until the window manager has decorated the window.
inline QList<int> frameExtents(WId wid) {
    const QString out = windowProperty(wid, "_NET_FRAME_EXTENTS");
    QList<int> v;
    const int eq = out.indexOf('=');
    if (eq < 0)
        return v;
    for (const QString& part : out.mid(eq + 1).split(',', Qt::SkipEmptyParts))
        v << part.trimmed().toInt();
    return v.size() == 4 ? v : QList<int>{};
}

// The client area in root coordinates, as the X server has it.
inline QRect clientRect(WId wid) {
    const QString out = tool("xwininfo", {"-id", QString::number(wid)});
    auto field = [&](const char* name) {
        const auto m = QRegularExpression(QString("%1:\\s+(-?\\d+)").arg(name)).match(out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
            field("Height")};
}

// The outer rectangle: client area plus the frame the window manager drew.
inline QRect outerRect(WId wid) {
    const QList<int> f = frameExtents(wid);
    const QRect c = clientRect(wid);
    if (f.isEmpty())
        return c;
    return c.adjusted(-f[0], -f[2], f[1], f[3]);
}

} // namespace veltaro::test
