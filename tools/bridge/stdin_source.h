// Responsibilities: a radio driven from standard input: one frequency in Hz per line. Blank lines
// are skipped, anything else that is not a positive whole number is reported and skipped. The
// end of input is reported once; the source then stays quiet.
// Collaborations: a FrequencySource; main.cpp connects it to the publishers. Used by the tests
// and the latency benchmark to publish chosen values at chosen moments.
#pragma once

#include "frequency_source.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <memory>

namespace bridge {

class StdinSource : public FrequencySource {
    Q_OBJECT
public:
    explicit StdinSource(int fd = 0, QObject* parent = nullptr);
    void start() override;

    // Feeds raw input as if read from the descriptor (also used by start()'s reader).
    void feed(const QByteArray& bytes);
    void finish();

private:
    void readable();
    void line(const QByteArray& text);

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray pending_;
    bool finished_ = false;
};

} // namespace bridge
