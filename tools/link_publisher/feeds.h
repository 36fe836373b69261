// Responsibilities: what drives the publisher's frequency: the sweep (a simulated radio tuning up
// through a window of each amateur band, also the --flood load) and standard input (one
// frequency in Hz per line, or a command that scripts an item: "set ITEM VALUE", "burst ITEM
// N"). Blank lines are skipped; anything else is reported and skipped. The end of input is
// reported once, and the publisher goes on serving the last values.
// Collaborations: main.cpp connects a Feed to the LinkServer; feeds never talk to D-Bus.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>

#include <memory>

namespace link_publisher {

class Feed : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Begins; what it learns comes as signals on the caller's event loop.
    virtual void start() = 0;

signals:
    void frequencyHz(qint64 hz);
    // Set the item to each value in turn, then answer "done".
    void script(const QString& item, const QStringList& values);
    // One line for standard error.
    void status(const QString& line);
};

// The tuning steps of the sweep, without any timing: next() returns the following frequency.
class SweepPlan {
public:
    explicit SweepPlan(qint64 stepHz);
    qint64 current() const { return hz_; }
    qint64 stepHz() const { return stepHz_; }
    qint64 next();

private:
    qint64 stepHz_;
    int band_ = 0;
    qint64 hz_;
};

class SweepFeed : public Feed {
    Q_OBJECT
public:
    SweepFeed(qint64 stepHz, int changesPerSecond, QObject* parent = nullptr);
    void start() override;

private:
    void tick();

    SweepPlan plan_;
    int rate_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 emitted_ = 0;
};

class StdinFeed : public Feed {
    Q_OBJECT
public:
    static constexpr qint64 MaxBurst = 1'000'000;

    explicit StdinFeed(int fd = 0, QObject* parent = nullptr);
    void start() override;

    // Raw input as if read from the descriptor, and its end.
    void feed(const QByteArray& bytes);
    void finish();

private:
    void readable();
    void line(const QByteArray& text);
    bool command(const QStringList& words);

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
    bool finished_ = false;
};

} // namespace link_publisher
