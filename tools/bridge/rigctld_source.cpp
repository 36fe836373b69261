#include "rigctld_source.h"

namespace {

// The VFO names that Hamlib prints.
bool isVfoName(QByteArrayView word) {
    static const char* const names[] = {"VFOA", "VFOB", "VFOC",  "VFO",   "currVFO", "MEM",
                                        "Main", "Sub",  "MainA", "MainB", "MainC",   "SubA",
                                        "SubB", "SubC", "TX",    "RX",    "None"};
    for (const char* n : names)
        if (word == QByteArrayView(n))
            return true;
    return false;
}

} // namespace

RigctldLine classifyRigctldLine(QByteArrayView line) {
    const QByteArrayView text = line.trimmed();
    RigctldLine r;
    if (text.isEmpty() || isVfoName(text) || text.startsWith("VFO:")) {
        r.kind = RigctldLine::Extra;
        return r;
    }
    if (text.startsWith("RPRT ")) {
        bool ok = false;
        const int code = text.sliced(5).trimmed().toInt(&ok);
        r.kind = ok ? RigctldLine::Report : RigctldLine::Malformed;
        r.code = code;
        return r;
    }
    const QByteArrayView number =
        text.startsWith("Frequency:") ? text.sliced(sizeof("Frequency:") - 1) : text;
    if (auto hz = bridge::parseHertz(number)) {
        r.kind = RigctldLine::Frequency;
        r.hz = *hz;
    }
    return r;
}

RigctldSource::RigctldSource(QString host, quint16 port, int intervalMs, QObject* parent)
    : PollingSource(QStringLiteral("rigctld"), std::move(host), port, intervalMs, parent) {
    connectTimer_.setSingleShot(true);
    connectTimer_.setInterval(ConnectTimeoutMs);
    replyTimer_.setSingleShot(true);
    replyTimer_.setInterval(DefaultReplyTimeoutMs);
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        connecting_ = false;
        connectTimer_.stop();
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        linkUp();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, &RigctldSource::readLines);
    connect(&socket_, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError) { fail(socket_.errorString()); });
    connect(&socket_, &QTcpSocket::disconnected, this,
            [this] { fail(QStringLiteral("connection closed")); });
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no answer to connect")); });
    connect(&replyTimer_, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no reply for %1 ms").arg(replyTimer_.interval())); });
}

RigctldSource::~RigctldSource() {
    // No status signals while the object is half gone.
    socket_.disconnect(this);
    socket_.abort();
}

void RigctldSource::connectNow() {
    buffer_.clear();
    outstanding_ = false;
    connecting_ = true;
    socket_.abort();
    connectTimer_.start();
    socket_.connectToHost(host(), port());
}

void RigctldSource::poll() {
    if (outstanding_ || socket_.state() != QAbstractSocket::ConnectedState)
        return;
    outstanding_ = true;
    replyTimer_.start();
    socket_.write("f\n", 2);
}

void RigctldSource::readLines() {
    buffer_.append(socket_.readAll());
    qsizetype from = 0;
    for (qsizetype nl; (nl = buffer_.indexOf('\n', from)) >= 0; from = nl + 1) {
        handle(QByteArrayView(buffer_).sliced(from, nl - from));
    }
    buffer_.remove(0, from);
    if (buffer_.size() > MaxLine) {
        problem(QStringLiteral("skipped an overlong reply line"));
        fail(QStringLiteral("reply line too long"));
    }
}

void RigctldSource::handle(QByteArrayView line) {
    const RigctldLine r = classifyRigctldLine(line);
    switch (r.kind) {
    case RigctldLine::Extra:
        return;
    case RigctldLine::Frequency:
        reading(r.hz);
        break;
    case RigctldLine::Report:
        if (r.code != 0)
            problem(QStringLiteral("skipped an error reply \"RPRT %1\"").arg(r.code));
        break;
    case RigctldLine::Malformed:
        problem(QStringLiteral("skipped a malformed reply \"%1\"")
                    .arg(QString::fromLatin1(line.trimmed()).left(40)));
        break;
    }
    outstanding_ = false;
    replyTimer_.stop();
}

void RigctldSource::fail(const QString& reason) {
    // Every way a connection ends comes here once; later signals of the same end are ignored.
    if (!connecting_ && !isUp())
        return;
    connecting_ = false;
    outstanding_ = false;
    connectTimer_.stop();
    replyTimer_.stop();
    buffer_.clear();
    linkDown(reason); // first, so that the signals of abort() find the link already down
    socket_.abort();
}
