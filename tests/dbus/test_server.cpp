// A scriptable server of the link contract for the adapter tests. It serves either one DDE-style
// topic or the FTLink pair of objects, and can misbehave on request.
//   --link "SERVICE|TOPIC" ITEM=VALUE   serve one item (more items with set)
//   --mute                              never answer Request
//   --advise-on-request VALUE           emit Advise(item, VALUE) just before answering Request
//   --ftlink [--trx-path P] [--no-trx-interface] [--freq MHZ] [--hold-gets] [--fail-gets]
// Commands on stdin: "set ITEM VALUE", "burst ITEM N" (Advise 1..N), "freq MHZ".
// Prints "ready" once the name is owned, "request ITEM" and "get" as calls come in.
#include "platform/qt/link_names.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QHash>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using namespace veltaro::qt;

namespace {

void out(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

struct Config {
    QString service, path, trxPath = QStringLiteral("/Trx");
    QHash<QString, QString> items;
    bool mute = false, ftlink = false, trxInterface = true, holdGets = false, failGets = false;
    QString adviseOnRequest;
    bool adviseOnRequestSet = false;
    double mhz = 14.074;
};

class LinkObject : public QDBusVirtualObject {
public:
    explicit LinkObject(Config& c) : c_(c) {}
    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.veltaro.Link\"/>");
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.interface() != QLatin1String(LinkInterface) || m.member() != QLatin1String("Request"))
            return false;
        const QString item = m.arguments().value(0).toString();
        out(QStringLiteral("request ") + item);
        if (c_.mute)
            return true;
        if (c_.adviseOnRequestSet)
            advise(bus, item, c_.adviseOnRequest);
        if (!c_.items.contains(item))
            bus.send(m.createErrorReply(QString::fromLatin1(LinkNoSuchItemError), item));
        else
            bus.send(m.createReply(c_.items.value(item)));
        return true;
    }
    void advise(const QDBusConnection& bus, const QString& item, const QString& value) {
        QDBusMessage s = QDBusMessage::createSignal(c_.path, QString::fromLatin1(LinkInterface),
                                                    QString::fromLatin1(LinkAdviseSignal));
        s << item << value;
        bus.send(s);
    }

private:
    Config& c_;
};

class FtlinkRoot : public QDBusVirtualObject {
public:
    explicit FtlinkRoot(Config& c) : c_(c) {}
    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.veltaro.FTLink.Server\"/>");
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.member() != QLatin1String("FirstObject"))
            return false;
        bus.send(m.createReply(QVariant::fromValue(QDBusObjectPath(c_.trxPath))));
        return true;
    }

private:
    Config& c_;
};

class FtlinkTrx : public QDBusVirtualObject {
public:
    explicit FtlinkTrx(Config& c) : c_(c) {}
    QString introspect(const QString&) const override {
        if (!c_.trxInterface)
            return QStringLiteral("<interface name=\"org.example.Other\"/>");
        return QStringLiteral("<interface name=\"org.veltaro.FTLink.Trx\">"
                              "<property name=\"Frequency\" type=\"d\" access=\"read\"/>"
                              "</interface>");
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.member() != QLatin1String("Get"))
            return false;
        out(QStringLiteral("get"));
        if (c_.holdGets)
            return true;
        if (c_.failGets)
            bus.send(m.createErrorReply(QStringLiteral("org.example.Error.Broken"), "broken"));
        else
            bus.send(m.createReply(QVariant::fromValue(QDBusVariant(c_.mhz))));
        return true;
    }

private:
    Config& c_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Config c;
    const QStringList a = app.arguments();
    for (qsizetype i = 1; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--link")) {
            const QString topic = a.value(++i);
            const auto bar = topic.indexOf(QLatin1Char('|'));
            c.service = linkBusName(topic.left(bar).toStdString());
            c.path = linkObjectPath(topic.mid(bar + 1).toStdString());
            const QString iv = a.value(++i);
            const auto eq = iv.indexOf(QLatin1Char('='));
            c.items.insert(iv.left(eq), iv.mid(eq + 1));
        } else if (a[i] == QLatin1String("--mute")) {
            c.mute = true;
        } else if (a[i] == QLatin1String("--advise-on-request")) {
            c.adviseOnRequest = a.value(++i);
            c.adviseOnRequestSet = true;
        } else if (a[i] == QLatin1String("--ftlink")) {
            c.ftlink = true;
            c.service = QString::fromLatin1(FtlinkService);
        } else if (a[i] == QLatin1String("--trx-path")) {
            c.trxPath = a.value(++i);
        } else if (a[i] == QLatin1String("--no-trx-interface")) {
            c.trxInterface = false;
        } else if (a[i] == QLatin1String("--freq")) {
            c.mhz = a.value(++i).toDouble();
        } else if (a[i] == QLatin1String("--hold-gets")) {
            c.holdGets = true;
        } else if (a[i] == QLatin1String("--fail-gets")) {
            c.failGets = true;
        } else {
            std::fprintf(stderr, "test_server: unknown argument %s\n", qPrintable(a[i]));
            return 2;
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    LinkObject link(c);
    FtlinkRoot root(c);
    FtlinkTrx trx(c);
    bool registered = c.ftlink ? bus.registerVirtualObject(QStringLiteral("/"), &root) &&
                                     bus.registerVirtualObject(c.trxPath, &trx)
                               : bus.registerVirtualObject(c.path, &link);
    if (!registered)
        return 3;
    // A previous server of the same name may still be on its way out.
    QElapsedTimer waited;
    waited.start();
    while (!bus.registerService(c.service)) {
        if (waited.elapsed() > 3000)
            return 4;
        QThread::msleep(20);
    }
    out(QStringLiteral("ready"));

    QSocketNotifier input(0, QSocketNotifier::Read);
    QByteArray buffer;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char b[4096];
        const ssize_t n = ::read(0, b, sizeof b);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        buffer.append(b, n);
        qsizetype end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QStringList w = QString::fromUtf8(buffer.left(end)).split(QLatin1Char(' '));
            buffer.remove(0, end + 1);
            if (w.value(0) == QLatin1String("set")) {
                c.items.insert(w.value(1), w.value(2));
                link.advise(bus, w.value(1), w.value(2));
            } else if (w.value(0) == QLatin1String("burst")) {
                for (int k = 1; k <= w.value(2).toInt(); ++k) {
                    c.items.insert(w.value(1), QString::number(k));
                    link.advise(bus, w.value(1), QString::number(k));
                }
            } else if (w.value(0) == QLatin1String("freq")) {
                c.mhz = w.value(1).toDouble();
            }
            out(QStringLiteral("done"));
        }
    });
    return app.exec();
}
