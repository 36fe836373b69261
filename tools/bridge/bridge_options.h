// Responsibilities: the command line of veltaro-bridge: which publishers, which source, and the
// source's settings; the usage text.
// Collaborations: main.cpp parses with it and builds the publishers and the source it names.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace bridge {

enum class SourceKind { Sweep, Stdin, Flood, Rigctld, Flrig };

struct Options {
    bool commander = false;
    bool hrd = false;
    bool ftlink = false;
    SourceKind source = SourceKind::Sweep;
    qint64 stepHz = 2500;
    int rate = 4;         // changes per second of --sweep
    QString hostPort;     // [HOST:]PORT of --rigctld / --flrig, empty for the default
    int intervalMs = 100; // poll interval of --rigctld / --flrig
    bool verbose = false;
    bool help = false;
};

inline constexpr int FloodRate = 10000;
inline constexpr qint64 FloodStepHz = 100;

// Parses the arguments after the program name. Returns false and sets *error (one line, no
// program name) for an unknown option, a missing or bad value, or two sources.
bool parseOptions(const QStringList& args, Options* out, QString* error);

QString usageText();

} // namespace bridge
