// Responsibilities: the server side of the Linux link contract (docs/linux-links.md): the
// DDE-style link topics of Commander and HRD (Request, Advise) and the FTLink stand-in
// (FirstObject on "/", the Trx object's Frequency property); the items each one holds as text,
// the text form of a frequency each one serves, and the faults it can be asked to show. An item's
// change is announced (Advise, PropertiesChanged) only when its text changes.
// Collaborations: main.cpp feeds it the values of a Feed and the commands of standard input, and
// claims its bus names through it; the names come from platform/qt/link_names.h, shared with
// Veltaro's clients. Calls are answered on the thread that owns the server, in order with the
// announcements.
#pragma once

#include "publisher_options.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace link_publisher {

// Commander's XmitFreq: kHz, the fraction kept only when there is one ("14074", "14074.6").
QString kilohertzText(qint64 hz);
// HRD's HRD_HERTZ: plain Hz ("14074000").
QString hertzText(qint64 hz);
// FTLink's Frequency: MHz, read back as the double nearest to hz / 1e6.
QString megahertzText(qint64 hz);

enum class Program { Commander, Hrd, Ftlink };

class LinkServer : public QDBusVirtualObject {
    Q_OBJECT
public:
    static constexpr const char* TrxPath = "/Trx";
    static constexpr const char* NoTrxPath = "/Radio"; // what FirstObject names with noTrx
    // How long a bus name held by another program is waited for.
    static constexpr int NameWaitMs = 3000;

    LinkServer(QDBusConnection bus, const QList<Program>& programs, ServerFaults faults);
    ~LinkServer() override;

    // Registers the objects and claims every program's bus name, waiting for one held by a
    // program on its way out, or taking it over when `replace`. On failure gives back what it
    // claimed and returns false with *error.
    bool claim(bool replace, QString* error);
    void release();
    QStringList busNames() const;

    // Every program's own item, in its form.
    void publish(qint64 hz);
    // The item of every program (Frequency is FTLink's, in MHz).
    void set(const QString& item, const QString& value);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

signals:
    // A Get of the frequency came in (answered or not).
    void frequencyAsked();

private:
    struct Endpoint {
        Program program;
        QString busName;
        QString path; // the topic's, or FTLink's Trx object
        QString item; // the one its frequency goes to
        QString (*format)(qint64 hz);
        QHash<QString, QString> items;
    };

    const Endpoint* endpointAt(const QString& path) const;
    bool serves(const QDBusMessage& m) const;
    void answer(const QDBusMessage& m);
    void answerRequest(const Endpoint& e, const QDBusMessage& m);
    void answerGet(const Endpoint& e, const QDBusMessage& m);
    void change(Endpoint& e, const QString& item, const QString& value);
    bool claimName(const QString& name, bool replace, QString* error);

    QDBusConnection bus_;
    QList<Endpoint> endpoints_;
    ServerFaults faults_;
    QStringList claimed_;
    bool registered_ = false;
};

} // namespace link_publisher
