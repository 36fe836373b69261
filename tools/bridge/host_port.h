// Responsibilities: the [HOST:]PORT argument of --rigctld and --flrig: parsing it against the
// defaults, with a one-line reason when it is bad, and writing an address back for messages.
// Collaborations: main.cpp parses the argument before it builds a polled source; the sources
// name their address in status lines. The rules are the core's (sources/net_address).
#pragma once

#include <QString>
#include <QtGlobal>

// Accepts "", "PORT", "HOST:PORT" and "[IPV6]:PORT", without blanks around. HOST is a host name
// (letters, digits, '-',
// '_', '.') or an IPv4 or bracketed IPv6 address; PORT is 1 to 65535 in decimal digits. Missing
// parts take the defaults. On a bad text returns false and sets *error to one line.
bool parseHostPort(const QString& text, const QString& defaultHost, quint16 defaultPort,
                   QString* host, quint16* port, QString* error);

// "127.0.0.1:4532", "[::1]:4532".
QString formatHostPort(const QString& host, quint16 port);
