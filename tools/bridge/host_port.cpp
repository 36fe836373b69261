#include "host_port.h"

#include "protocols/net_address.h"

bool parseHostPort(const QString& text, const QString& defaultHost, quint16 defaultPort,
                   QString* host, quint16* port, QString* error) {
    if (text.isEmpty()) {
        *host = defaultHost;
        *port = defaultPort;
        return true;
    }
    std::string why = "expected [HOST:]PORT with PORT from 1 to 65535";
    // The command line takes the address as it is: no blanks around it.
    const bool blanks = text.trimmed() != text;
    const auto address =
        blanks ? std::nullopt
               : veltaro::parseNetAddress(text.toStdString(),
                                          {defaultHost.toStdString(), defaultPort}, &why);
    if (!address) {
        *error = QStringLiteral("bad address \"%1\": %2").arg(text, QString::fromStdString(why));
        return false;
    }
    *host = QString::fromStdString(address->host);
    *port = address->port;
    return true;
}

QString formatHostPort(const QString& host, quint16 port) {
    return QString::fromStdString(veltaro::formatNetAddress({host.toStdString(), port}));
}
