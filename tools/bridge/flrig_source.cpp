#include "flrig_source.h"

#include "host_port.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QXmlStreamReader>

std::optional<QString> parseXmlRpcResponse(const QByteArray& body, QString* error) {
    QXmlStreamReader xml(body);
    // methodResponse > params > param > value > [type] > text, or methodResponse > fault.
    QStringList path;
    std::optional<QString> value;
    bool fault = false;
    QString faultText;
    bool typed = false; // the value has a type element; the blanks around it do not count
    QString typedText;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = xml.name().toString();
            if (path.isEmpty() && name != QLatin1String("methodResponse")) {
                *error = QStringLiteral("not an XML-RPC response");
                return std::nullopt;
            }
            if (path.size() == 1 && name == QLatin1String("fault"))
                fault = true;
            if (path.size() == 4 && path[3] == QLatin1String("value") && value) {
                static const QStringList scalars = {QStringLiteral("string"), QStringLiteral("int"),
                                                    QStringLiteral("i4"), QStringLiteral("i8"),
                                                    QStringLiteral("double")};
                if (!scalars.contains(name)) {
                    *error = QStringLiteral("a value of type %1").arg(name);
                    return std::nullopt;
                }
                typed = true;
            }
            path << name;
            const bool atValue = path.size() == 4 && path[1] == QLatin1String("params") &&
                                 path[2] == QLatin1String("param") &&
                                 path[3] == QLatin1String("value");
            if (atValue) {
                if (value) {
                    *error = QStringLiteral("more than one value");
                    return std::nullopt;
                }
                value = QString();
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!path.isEmpty())
                path.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (fault) {
                faultText += xml.text().toString();
            } else if (value && path.size() >= 4 && path[3] == QLatin1String("value")) {
                if (path.size() == 5)
                    typedText += xml.text().toString();
                else if (path.size() == 4)
                    *value += xml.text().toString(); // an untyped value is a string
            }
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("bad XML: ") + xml.errorString();
        return std::nullopt;
    }
    if (fault) {
        *error = QStringLiteral("fault: ") + faultText.simplified();
        return std::nullopt;
    }
    if (!value) {
        *error = QStringLiteral("no value in the response");
        return std::nullopt;
    }
    return typed ? typedText : *value;
}

QByteArray xmlRpcCall(const char* method) {
    return QByteArrayLiteral("<?xml version=\"1.0\"?>\r\n<methodCall><methodName>") + method +
           QByteArrayLiteral("</methodName><params></params></methodCall>\r\n");
}

bool isNoTransceiver(const QString& xcvr) {
    const QString t = xcvr.trimmed();
    return t.isEmpty() || t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

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
    pending_ = manager_.post(
        request, xmlRpcCall(step == Step::Transceiver ? "rig.get_xcvr" : "rig.get_vfo"));
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
    if (status.toInt() != 200)
        error = QStringLiteral("HTTP status %1").arg(status.toInt());
    else
        value = parseXmlRpcResponse(reply->readAll(), &error);

    if (step == Step::Transceiver) {
        if (!value) {
            linkUp({}, false);
            problem(QStringLiteral("skipped a bad rig.get_xcvr reply (%1)").arg(error));
            return;
        }
        if (isNoTransceiver(*value)) {
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
    if (auto hz = bridge::parseHertz(value->toLatin1()))
        reading(*hz);
    else
        problem(QStringLiteral("skipped a malformed frequency \"%1\"").arg(value->left(40)));
}
