#include "rigctld_source.h"

using veltaro::RigctldLine;
using veltaro::RigctldRequest;

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
    lines_.clear();
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
    const std::string_view request = veltaro::rigctldRequestText(RigctldRequest::Frequency);
    socket_.write(request.data(), qint64(request.size()));
}

void RigctldSource::readLines() {
    const QByteArray bytes = socket_.readAll();
    lines_.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    for (std::string_view line;;) {
        switch (lines_.next(&line)) {
        case veltaro::LineSplitter::Status::Line:
            handle(line);
            break;
        case veltaro::LineSplitter::Status::More:
            return;
        case veltaro::LineSplitter::Status::TooLong:
            problem(QStringLiteral("skipped an overlong reply line"));
            fail(QStringLiteral("reply line too long"));
            return;
        }
    }
}

void RigctldSource::handle(std::string_view line) {
    const RigctldLine r = veltaro::classifyRigctldLine(line);
    if (!veltaro::endsRigctldReply(r, RigctldRequest::Frequency))
        return;
    switch (r.kind) {
    case RigctldLine::Frequency:
        reading(r.hz);
        break;
    case RigctldLine::Report:
        if (r.code != 0)
            problem(QStringLiteral("skipped an error reply \"RPRT %1\"").arg(r.code));
        break;
    default:
        problem(QStringLiteral("skipped a malformed reply \"%1\"")
                    .arg(QString::fromLatin1(
                             QByteArrayView(line.data(), qsizetype(line.size())).trimmed())
                             .left(40)));
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
    lines_.clear();
    linkDown(reason); // first, so that the signals of abort() find the link already down
    socket_.abort();
}
