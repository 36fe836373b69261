// Responsibilities: turns SIGINT and SIGTERM into a Qt signal on the event loop (self-pipe), so
// a program can close its windows or release its bus names and exit cleanly.
// Collaborations: the main() of veltaro and veltaro-link-publisher react to terminate().
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace veltaro::qt {

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

} // namespace veltaro::qt
