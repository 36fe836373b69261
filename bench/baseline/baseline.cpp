// A minimal Qt Widgets window with a 100 ms timer: what any small Qt tool costs at rest.
// With --poll-ftlink each tick also reads the FTLink stand-in's frequency over D-Bus, one
// asynchronous read outstanding at a time: what that read alone costs any Qt program.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLabel>
#include <QTimer>

#include <optional>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool poll = app.arguments().contains(QStringLiteral("--poll-ftlink"));
    QLabel window(QStringLiteral("0"));
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.resize(150, 100);
    int ticks = 0;
    double mhz = 0;
    std::optional<QDBusPendingCall> pending;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (!poll || (pending && !pending->isFinished()))
            return;
        if (pending) {
            const QVariant v = pending->reply().arguments().value(0);
            mhz = v.value<QDBusVariant>().variant().toDouble();
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.veltaro.FTLink"), QStringLiteral("/Trx"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.veltaro.FTLink.Trx") << QStringLiteral("Frequency");
        pending = QDBusConnection::sessionBus().asyncCall(get, 250);
    });
    timer.start(100);
    window.show();
    return app.exec();
}
