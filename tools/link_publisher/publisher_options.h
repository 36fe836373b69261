// Responsibilities: the command line of veltaro-link-publisher: the programs it stands in for,
// the feed of its frequency, the items it starts with, the scripted faults of its server; the
// usage text; the strict whole-number reading shared with the standard-input feed.
// Collaborations: main.cpp parses with it and builds the LinkServer and the Feed it names.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace link_publisher {

enum class FeedKind { Sweep, Stdin, Flood };

// How the server misbehaves on purpose, for testing clients.
struct ServerFaults {
    bool silent = false;                // never answer Request or Get
    bool fail = false;                  // answer Request and Get with an error
    bool noTrx = false;                 // FirstObject names an object without the Trx interface
    std::optional<QString> adviseFirst; // Advise(item, this) just before answering Request(item)
};

struct PublisherOptions {
    bool commander = false;
    bool hrd = false;
    bool ftlink = false;
    FeedKind feed = FeedKind::Sweep;
    qint64 stepHz = 2500;
    int rate = 4;                         // changes per second of the sweep
    QList<QPair<QString, QString>> items; // ITEM=VALUE, in the order given
    ServerFaults faults;
    bool replace = false; // take the bus names over from a running publisher
    bool verbose = false;
    bool help = false;
};

inline constexpr int FloodRate = 10000;
inline constexpr qint64 FloodStepHz = 100;

// Parses the arguments after the program name. Returns false and sets *error (one line, no
// program name) for an unknown option, a missing or bad value, or two different feeds.
bool parseOptions(const QStringList& args, PublisherOptions* out, QString* error);

QString usageText();

// Decimal digits only (no sign, no blanks), within [lo, hi]; nothing otherwise.
std::optional<qint64> wholeNumber(QStringView text, qint64 lo, qint64 hi);

} // namespace link_publisher
