// Responsibilities: turns SIGINT and SIGTERM into a Qt signal on the event loop (self-pipe), so
// the bridge can release its bus names and exit cleanly.
// Collaborations: main.cpp quits the application on terminate().
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace bridge {

class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject* parent = nullptr);
    ~SignalWatch() override;
    bool ok() const { return notifier_ != nullptr; }

signals:
    void terminate(int signo);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace bridge
