#include "flrig_source.h"

#include "host_port.h"
#include "protocols/rig_protocols.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

using veltaro::FlrigMethod;

FlrigSource::FlrigSource(QString host, quint16 port, int intervalMs, QObject* parent)
    : PollingSource(QStringLiteral("flrig"), std::move(host), port, intervalMs, parent) {
    // A radio on the local network is never reached through a web proxy.
    manager_.setProxy(QNetworkProxy::NoProxy);
}

FlrigSource::~FlrigSource() {
    if (pending_) {
        pending_->disconnect(this);
        pending_->abort();
        delete pending_.data();
    }
}

void FlrigSource::connectNow() {
    send(Step::Transceiver);
}

void FlrigSource::poll() {
    if (!pending_)
        send(Step::Transceiver);
}

void FlrigSource::send(Step step) {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host());
    url.setPort(port());
    url.setPath(QStringLiteral("/RPC2"));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml"));
    request.setTransferTimeout(timeoutMs_);
    const std::string call = veltaro::xmlRpcCall(
        step == Step::Transceiver ? FlrigMethod::Transceiver : FlrigMethod::Frequency);
    pending_ = manager_.post(request, QByteArray(call.data(), qsizetype(call.size())));
    QNetworkReply* reply = pending_;
    connect(reply, &QNetworkReply::finished, this, [this, reply, step] { finished(reply, step); });
}

void FlrigSource::finished(QNetworkReply* reply, Step step) {
    reply->deleteLater();
    pending_ = nullptr;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        // No HTTP answer at all: flrig is not there (or stopped answering).
        QString reason = reply->errorString();
        if (reply->error() == QNetworkReply::OperationCanceledError)
            reason = QStringLiteral("no reply for %1 ms").arg(timeoutMs_);
        linkDown(reason);
        return;
    }
    QString error;
    std::optional<QString> value;
    if (status.toInt() != 200) {
        error = QStringLiteral("HTTP status %1").arg(status.toInt());
    } else {
        const QByteArray body = reply->readAll();
        std::string why;
        if (const auto text = veltaro::parseXmlRpcResponse(
                std::string_view(body.constData(), std::size_t(body.size())), &why))
            value = QString::fromStdString(*text);
        else
            error = QString::fromStdString(why);
    }

    if (step == Step::Transceiver) {
        if (!value) {
            linkUp({}, false);
            problem(QStringLiteral("skipped a bad rig.get_xcvr reply (%1)").arg(error));
            return;
        }
        if (veltaro::isNoFlrigTransceiver(value->toStdString())) {
            linkUp(QStringLiteral("no transceiver"), false);
            forget();
            if (!transceiver_.isEmpty())
                say(QStringLiteral("no transceiver connected to flrig"));
            transceiver_.clear();
            return;
        }
        if (isUp() && *value != transceiver_)
            say(QStringLiteral("transceiver %1").arg(*value));
        transceiver_ = *value;
        linkUp(QStringLiteral("transceiver ") + *value, false);
        send(Step::Frequency);
        return;
    }
    if (!value) {
        problem(QStringLiteral("skipped a bad rig.get_vfo reply (%1)").arg(error));
        return;
    }
    if (auto hz = veltaro::parseHertz(value->toStdString()))
        reading(*hz);
    else
        problem(QStringLiteral("skipped a malformed frequency \"%1\"").arg(value->left(40)));
}
