#include "stdin_source.h"

#include <cerrno>
#include <unistd.h>

namespace bridge {

StdinSource::StdinSource(int fd, QObject* parent) : FrequencySource(parent), fd_(fd) {}

void StdinSource::start() {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StdinSource::readable);
}

void StdinSource::readable() {
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
        feed(QByteArray(buf, static_cast<qsizetype>(n)));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        notifier_->setEnabled(false);
        finish();
    }
}

void StdinSource::feed(const QByteArray& bytes) {
    pending_ += bytes;
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray text = pending_.left(end);
        pending_.remove(0, end + 1);
        line(text);
    }
}

void StdinSource::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (!pending_.isEmpty()) {
        const QByteArray last = pending_;
        pending_.clear();
        line(last);
    }
    emit status(QStringLiteral("standard input ended; still publishing the last value"));
}

void StdinSource::line(const QByteArray& text) {
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return;
    bool ok = false;
    const qint64 hz = t.toLongLong(&ok);
    if (!ok || hz <= 0) {
        emit status(QStringLiteral("ignoring \"%1\": not a frequency in Hz")
                        .arg(QString::fromUtf8(t.left(40))));
        return;
    }
    emit frequencyHz(hz);
}

} // namespace bridge
