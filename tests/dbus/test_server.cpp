// A scriptable server of the link contract for the adapter tests, serving ITEM=VALUE pairs either
// on the Commander topic or, with --ftlink, as the FTLink pair of objects ("Frequency" in MHz).
//   --silent            never answer Request or Get        --fail   answer Get with an error
//   --advise-first V    emit Advise(item, V) just before answering Request
//   --no-trx            the object FirstObject returns lacks the Trx interface (though a
//                       look-alike and a child node have it)
//   --replace           take the name over from a running server (every server lets it go)
// Commands on stdin: "set ITEM VALUE", "burst ITEM N" (Advise 1..N); each answered by "done".
// Prints "ready" once the name is owned and "get" for each Get.
#include "adapters/qt/link_names.h"

#include <QtDBus>

#include <iostream>
#include <thread>

using namespace veltaro::qt;

namespace {

const QString TrxPath = "/Radio/Main"; // clients must follow FirstObject here

class Server : public QDBusVirtualObject {
public:
    QStringList args = QCoreApplication::arguments();
    QHash<QString, QString> items;
    const QString path = linkObjectPath("DDEServer");
    bool has(const char* flag) const { return args.contains(flag); }

    QString introspect(const QString& at) const override {
        const QString trx = QString("<interface name=\"%1\"><property name=\"Frequency\" "
                                    "type=\"d\" access=\"read\"/></interface>")
                                .arg(FtlinkTrxInterface);
        // Without it: a look-alike name on the node, the interface only on a child node.
        const QString without = QString("<interface name=\"%1Old\"/><node name=\"x\">%2</node>")
                                    .arg(FtlinkTrxInterface, trx);
        return at != TrxPath ? QString() : has("--no-trx") ? without : trx;
    }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        const QString item = m.arguments().value(0).toString();
        if (m.member() == "FirstObject") {
            bus.send(m.createReply(QVariant::fromValue(QDBusObjectPath(TrxPath))));
        } else if (m.member() == "Get" && m.path() == TrxPath) {
            std::puts("get");
            if (has("--fail"))
                bus.send(m.createErrorReply("org.example.Error.Broken", "broken"));
            else if (!has("--silent"))
                bus.send(m.createReply(
                    QVariant::fromValue(QDBusVariant(items["Frequency"].toDouble()))));
        } else if (m.member() == LinkRequestMethod && m.path() == path) {
            if (const auto i = args.indexOf("--advise-first"); i >= 0 && !has("--silent"))
                advise(bus, item, args.value(i + 1));
            if (!has("--silent"))
                bus.send(items.contains(item) ? m.createReply(items[item])
                                              : m.createErrorReply(LinkNoSuchItemError, item));
        } else {
            return false;
        }
        return true;
    }
    void advise(const QDBusConnection& bus, const QString& item, const QString& value) {
        bus.send(QDBusMessage::createSignal(path, LinkInterface, LinkAdviseSignal)
                 << item << value);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0); // each line goes out at once
    Server server;
    for (const QString& a : server.args)
        if (const auto eq = a.indexOf('='); eq > 0)
            server.items.insert(a.left(eq), a.mid(eq + 1));
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerVirtualObject("/", &server, QDBusConnection::SubPath);
    const QString name = server.has("--ftlink") ? FtlinkService : linkBusName("CI-V Commander");
    // A previous server of the same name may still be on its way out; with --replace it is
    // running, and gives the name up to this one.
    using Bus = QDBusConnectionInterface;
    const auto take = server.has("--replace") ? Bus::ReplaceExistingService : Bus::DontQueueService;
    for (int tries = 0;
         !bus.interface()->registerService(name, take, Bus::AllowReplacement).value();
         ++tries, QThread::msleep(20))
        if (tries == 150) // 3 s
            return 4;
    std::puts("ready");
    std::thread([&] {
        for (std::string line; std::getline(std::cin, line);)
            QMetaObject::invokeMethod(&app, [&, w = QString::fromStdString(line).split(' ')] {
                const bool burst = w.value(0) == "burst";
                for (int k = 1; k <= (burst ? w.value(2).toInt() : 1); ++k) {
                    const QString value = burst ? QString::number(k) : w.value(2);
                    server.advise(bus, w.value(1), server.items[w.value(1)] = value);
                }
                std::puts("done");
            });
    }).detach();
    return app.exec();
}
