// Responsibilities: the servers of the Linux link contract that veltaro-bridge publishes: a
// DDE-style link topic (Request / Advise, for Commander and HRD) and the FTLink stand-in (the
// server object on "/" and its Trx object with the Frequency property); the text forms of a
// frequency that each one serves.
// Collaborations: main.cpp feeds them every FrequencySource::frequencyHz; the names come from
// platform/qt/link_names.h, shared with Veltaro's clients.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace bridge {

// Commander's XmitFreq: kHz, the fraction kept only when there is one ("14074", "14074.6").
QString kilohertzText(qint64 hz);
// HRD's HRD_HERTZ: plain Hz ("14074000").
QString hertzText(qint64 hz);

class Publisher {
public:
    virtual ~Publisher() = default;
    virtual void publish(qint64 hz) = 0;
    virtual QString busName() const = 0;
    // Registers the objects and claims the bus name; false (with *error) when that fails.
    virtual bool claim(QString* error) = 0;
    virtual void release() = 0;
};

// One DDE topic on the bus: items with text values, Request and Advise.
class LinkTopicObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.veltaro.Link")
public:
    using QObject::QObject;
    void setValue(const QString& item, const QString& value);

public slots:
    QString Request(const QString& item);

signals:
    void Advise(const QString& item, const QString& value);

private:
    QHash<QString, QString> items_;
};

// Commander or HRD: one service, one topic, one item.
class LinkPublisher : public Publisher {
public:
    using Format = QString (*)(qint64 hz);
    LinkPublisher(QDBusConnection bus, const std::string& service, const std::string& topic,
                  QString item, Format format);
    void publish(qint64 hz) override;
    QString busName() const override { return name_; }
    bool claim(QString* error) override;
    void release() override;

private:
    QDBusConnection bus_;
    QString name_;
    QString path_;
    QString item_;
    Format format_;
    LinkTopicObject object_;
    bool claimed_ = false;
};

class FtlinkTrxObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.veltaro.FTLink.Trx")
    Q_PROPERTY(double Frequency READ frequency)
public:
    using QObject::QObject;
    double frequency() const { return mhz_; }
    void setFrequency(double mhz) { mhz_ = mhz; }

private:
    double mhz_ = 0.0;
};

class FtlinkServerObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.veltaro.FTLink.Server")
public:
    FtlinkServerObject(QString trxPath, QObject* parent = nullptr)
        : QObject(parent), trxPath_(std::move(trxPath)) {}

public slots:
    QDBusObjectPath FirstObject() { return QDBusObjectPath(trxPath_); }

private:
    QString trxPath_;
};

class FtlinkPublisher : public Publisher {
public:
    explicit FtlinkPublisher(QDBusConnection bus);
    void publish(qint64 hz) override;
    QString busName() const override;
    bool claim(QString* error) override;
    void release() override;

    static constexpr const char* TrxPath = "/Trx";

private:
    QDBusConnection bus_;
    FtlinkServerObject server_;
    FtlinkTrxObject trx_;
    bool claimed_ = false;
};

} // namespace bridge
