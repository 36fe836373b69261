#include "host_port.h"

#include <QHostAddress>

namespace {

bool parsePort(const QString& text, quint16* port) {
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    const int v = text.toInt();
    if (v < 1 || v > 65535)
        return false;
    *port = static_cast<quint16>(v);
    return true;
}

bool isHostName(const QString& text) {
    if (text.isEmpty() || text.size() > 253)
        return false;
    for (const QString& label : text.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')))
            return false;
        for (QChar c : label) {
            const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                            c == QLatin1Char('-') || c == QLatin1Char('_');
            if (!ok)
                return false;
        }
    }
    return true;
}

} // namespace

bool parseHostPort(const QString& text, const QString& defaultHost, quint16 defaultPort,
                   QString* host, quint16* port, QString* error) {
    const auto bad = [&](const QString& why) {
        *error = QStringLiteral("bad address \"%1\": %2").arg(text, why);
        return false;
    };
    QString h = defaultHost;
    quint16 p = defaultPort;
    if (!text.isEmpty()) {
        QString portText = text;
        if (text.startsWith(QLatin1Char('['))) {
            const qsizetype close = text.indexOf(QStringLiteral("]:"));
            if (close < 0)
                return bad(QStringLiteral("write an IPv6 address as [ADDRESS]:PORT"));
            h = text.mid(1, close - 1);
            QHostAddress address;
            if (!address.setAddress(h) || address.protocol() != QAbstractSocket::IPv6Protocol)
                return bad(QStringLiteral("\"%1\" is not an IPv6 address").arg(h));
            portText = text.mid(close + 2);
        } else if (const qsizetype colon = text.lastIndexOf(QLatin1Char(':')); colon >= 0) {
            h = text.left(colon);
            if (h.contains(QLatin1Char(':')))
                return bad(QStringLiteral("write an IPv6 address as [ADDRESS]:PORT"));
            if (!isHostName(h))
                return bad(QStringLiteral("\"%1\" is not a host name or address").arg(h));
            portText = text.mid(colon + 1);
        }
        if (!parsePort(portText, &p))
            return bad(QStringLiteral("expected [HOST:]PORT with PORT from 1 to 65535"));
    }
    *host = h;
    *port = p;
    return true;
}

QString formatHostPort(const QString& host, quint16 port) {
    const QString h =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return h + QLatin1Char(':') + QString::number(port);
}
