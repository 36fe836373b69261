// Responsibilities: a radio that the bridge reads; it reports each frequency it learns, in Hz.
// Collaborations: the bridge's main connects every source to the publishers of the link
// contract (Commander, HRD, FTLink); sources never talk to D-Bus themselves.
#pragma once

#include <QObject>
#include <QtGlobal>

class FrequencySource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~FrequencySource() override = default;
    // Begins reading; reports come as signals on the caller's event loop.
    virtual void start() = 0;

signals:
    // A frequency to publish. Sources emit only values they are sure of.
    void frequencyHz(qint64 hz);
    // One-line status for standard error ("connected", "lost", ...).
    void status(const QString& line);
};
