#include "bridge_options.h"

namespace bridge {

namespace {

bool takeNumber(const QStringList& args, qsizetype* i, qint64 lo, qint64 hi, qint64* out,
                QString* error) {
    const QString name = args.at(*i);
    if (*i + 1 >= args.size()) {
        *error = name + QStringLiteral(" needs a value");
        return false;
    }
    const QString text = args.at(++*i);
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < lo || v > hi) {
        *error = name + QStringLiteral(" takes a whole number from ") + QString::number(lo) +
                 QStringLiteral(" to ") + QString::number(hi) + QStringLiteral(", not \"") + text +
                 QLatin1Char('"');
        return false;
    }
    *out = v;
    return true;
}

} // namespace

bool parseOptions(const QStringList& args, Options* out, QString* error) {
    Options o;
    bool sourceGiven = false;
    auto setSource = [&](SourceKind kind, const QString& name) {
        if (sourceGiven && o.source != kind) {
            *error = QStringLiteral("choose one source, not also ") + name;
            return false;
        }
        sourceGiven = true;
        o.source = kind;
        return true;
    };

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--as")) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("--as needs commander, hrd or ftlink");
                return false;
            }
            const QString who = args.at(++i);
            if (who == QLatin1String("commander"))
                o.commander = true;
            else if (who == QLatin1String("hrd"))
                o.hrd = true;
            else if (who == QLatin1String("ftlink"))
                o.ftlink = true;
            else {
                *error = QStringLiteral("--as takes commander, hrd or ftlink, not \"") + who +
                         QLatin1Char('"');
                return false;
            }
        } else if (a == QLatin1String("--sweep")) {
            if (!setSource(SourceKind::Sweep, a))
                return false;
        } else if (a == QLatin1String("--stdin")) {
            if (!setSource(SourceKind::Stdin, a))
                return false;
        } else if (a == QLatin1String("--flood")) {
            if (!setSource(SourceKind::Flood, a))
                return false;
        } else if (a == QLatin1String("--rigctld") || a == QLatin1String("--flrig")) {
            if (!setSource(
                    a == QLatin1String("--rigctld") ? SourceKind::Rigctld : SourceKind::Flrig, a))
                return false;
            if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1String("--")))
                o.hostPort = args.at(++i);
        } else if (a == QLatin1String("--step-hz")) {
            if (!takeNumber(args, &i, 1, 1000000000, &o.stepHz, error))
                return false;
        } else if (a == QLatin1String("--rate")) {
            qint64 v = 0;
            if (!takeNumber(args, &i, 1, 100000, &v, error))
                return false;
            o.rate = static_cast<int>(v);
        } else if (a == QLatin1String("--interval")) {
            qint64 v = 0;
            if (!takeNumber(args, &i, 1, 3600000, &v, error))
                return false;
            o.intervalMs = static_cast<int>(v);
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            o.verbose = true;
        } else {
            *error = QStringLiteral("unknown option \"") + a + QStringLiteral("\" (see --help)");
            return false;
        }
    }
    if (!o.commander && !o.hrd && !o.ftlink)
        o.commander = o.hrd = o.ftlink = true;
    *out = o;
    return true;
}

QString usageText() {
    return QStringLiteral(
        "Usage: veltaro-bridge [--as commander|hrd|ftlink]... [SOURCE] [OPTION]...\n"
        "Publishes a radio's frequency on the D-Bus session bus for Veltaro's Linux links.\n"
        "\n"
        "Publish as (repeatable; all three when none is given):\n"
        "  --as commander         org.veltaro.Link.CI_2dV_20Commander /DDEServer,\n"
        "                         item XmitFreq = kHz text (14074, 14074.6)\n"
        "  --as hrd               org.veltaro.Link.HRD_5fRADIO_5f000 /HRD_5fCAT,\n"
        "                         item HRD_HERTZ = Hz text (14074000)\n"
        "  --as ftlink            org.veltaro.FTLink: FirstObject() on / returns /Trx,\n"
        "                         property Frequency of org.veltaro.FTLink.Trx = MHz (double)\n"
        "\n"
        "Source (one; --sweep when none is given):\n"
        "  --sweep                a simulated radio tuning through the amateur bands\n"
        "  --stdin                one frequency in Hz per line from standard input\n"
        "  --flood                10000 changes per second (a sweep in 100 Hz steps)\n"
        "  --rigctld [HOST:]PORT  poll Hamlib rigctld (default 127.0.0.1:4532)\n"
        "  --flrig [HOST:]PORT    poll flrig over XML-RPC (default 127.0.0.1:12345)\n"
        "\n"
        "Options:\n"
        "  --step-hz HZ           sweep step in Hz (default 2500)\n"
        "  --rate N               sweep changes per second (default 4)\n"
        "  --interval MS          poll interval of --rigctld and --flrig (default 100)\n"
        "  --verbose              print each published frequency in Hz on standard output\n"
        "  --help                 show this text\n"
        "\n"
        "Runs until SIGINT or SIGTERM, then releases its bus names and exits 0.\n"
        "Exit status: 0 done, 1 no session bus or a bus name already taken, 2 bad usage.\n");
}

} // namespace bridge
