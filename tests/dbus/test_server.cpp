// A scriptable server of the link contract for the adapter tests, serving ITEM=VALUE pairs either
// on the Commander topic or, with --ftlink, as the FTLink pair of objects ("Frequency" in MHz).
//   --silent            never answer Request or Get        --fail   answer Get with an error
//   --advise-first V    emit Advise(item, V) just before answering Request
//   --no-trx            the object FirstObject returns lacks the Trx interface
// Commands on stdin: "set ITEM VALUE", "burst ITEM N" (Advise 1..N); each answered by "done".
// Prints "ready" once the name is owned and "get" for each Get.
#include "platform/qt/link_names.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QHash>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

using namespace veltaro::qt;

namespace {

const QString TrxPath = QStringLiteral("/Radio/Main"); // clients must follow FirstObject here

void out(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

class Server : public QDBusVirtualObject {
public:
    QStringList args;
    QHash<QString, QString> items;
    QString path = linkObjectPath("DDEServer");
    bool has(const char* flag) const { return args.contains(QLatin1String(flag)); }

    QString introspect(const QString& at) const override {
        return at != TrxPath || has("--no-trx")
                   ? QString()
                   : QStringLiteral("<interface name=\"org.veltaro.FTLink.Trx\">"
                                    "<property name=\"Frequency\" type=\"d\" access=\"read\"/>"
                                    "</interface>");
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.member() == QLatin1String("FirstObject")) {
            bus.send(m.createReply(QVariant::fromValue(QDBusObjectPath(TrxPath))));
        } else if (m.member() == QLatin1String("Get") && m.path() == TrxPath) {
            out("get");
            if (has("--fail"))
                bus.send(m.createErrorReply(QStringLiteral("org.example.Error.Broken"), "broken"));
            else if (!has("--silent"))
                bus.send(m.createReply(
                    QVariant::fromValue(QDBusVariant(items.value("Frequency").toDouble()))));
        } else if (m.member() == QLatin1String(LinkRequestMethod) && m.path() == path) {
            const QString item = m.arguments().value(0).toString();
            if (has("--silent"))
                return true;
            if (const auto i = args.indexOf(QLatin1String("--advise-first")); i >= 0)
                advise(bus, item, args.value(i + 1));
            bus.send(items.contains(item)
                         ? m.createReply(items.value(item))
                         : m.createErrorReply(QString::fromLatin1(LinkNoSuchItemError), item));
        } else {
            return false;
        }
        return true;
    }
    void advise(const QDBusConnection& bus, const QString& item, const QString& value) {
        QDBusMessage s = QDBusMessage::createSignal(path, QString::fromLatin1(LinkInterface),
                                                    QString::fromLatin1(LinkAdviseSignal));
        s << item << value;
        bus.send(s);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Server server;
    server.args = app.arguments();
    for (const QString& a : server.args)
        if (const auto eq = a.indexOf(QLatin1Char('=')); eq > 0)
            server.items.insert(a.left(eq), a.mid(eq + 1));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/"), &server, QDBusConnection::SubPath))
        return 3;
    const QString name =
        server.has("--ftlink") ? QString::fromLatin1(FtlinkService) : linkBusName("CI-V Commander");
    // A previous server of the same name may still be on its way out.
    for (int tries = 0; !bus.registerService(name); ++tries) {
        if (tries == 150) // 3 s
            return 4;
        QThread::msleep(20);
    }
    out("ready");

    const auto command = [&](const QStringList& w) {
        const bool burst = w.value(0) == QLatin1String("burst");
        for (int k = 1; k <= (burst ? w.value(2).toInt() : 1); ++k) {
            const QString value = burst ? QString::number(k) : w.value(2);
            server.items.insert(w.value(1), value);
            server.advise(bus, w.value(1), value);
        }
        out("done");
    };
    std::thread([&] {
        for (std::string line; std::getline(std::cin, line);)
            QMetaObject::invokeMethod(
                &app, [=] { command(QString::fromStdString(line).split(QLatin1Char(' '))); });
    }).detach();
    return app.exec();
}
