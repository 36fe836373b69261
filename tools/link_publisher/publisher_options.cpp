#include "publisher_options.h"

#include <charconv>

namespace link_publisher {

std::optional<qint64> wholeNumber(QStringView text, qint64 lo, qint64 hi) {
    const QByteArray bytes = text.toLatin1();
    const char* end = bytes.constData() + bytes.size();
    qint64 value = 0;
    if (bytes.isEmpty() || bytes.front() < '0' || bytes.front() > '9')
        return std::nullopt;
    const auto [stop, fault] = std::from_chars(bytes.constData(), end, value);
    if (fault != std::errc() || stop != end || value < lo || value > hi)
        return std::nullopt;
    return value;
}

namespace {

// One pass over the arguments; each take* consumes what it needs and says why it cannot.
class Parser {
public:
    explicit Parser(const QStringList& args) : args_(args) {}

    bool run(PublisherOptions* out, QString* error) {
        for (; at_ < args_.size(); ++at_) {
            if (!takeOne()) {
                *error = error_;
                return false;
            }
        }
        if (!o_.commander && !o_.hrd && !o_.ftlink)
            o_.commander = o_.hrd = o_.ftlink = true;
        *out = o_;
        return true;
    }

private:
    bool refuse(const QString& why) {
        error_ = why;
        return false;
    }
    const QString& current() const { return args_.at(at_); }

    std::optional<QString> value() {
        if (at_ + 1 >= args_.size())
            return std::nullopt;
        return args_.at(++at_);
    }

    bool takeNumber(qint64 lo, qint64 hi, qint64* out) {
        const QString name = current();
        const auto text = value();
        if (!text)
            return refuse(name + QStringLiteral(" needs a value"));
        const auto number = wholeNumber(*text, lo, hi);
        if (!number)
            return refuse(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                              .arg(name)
                              .arg(lo)
                              .arg(hi)
                              .arg(*text));
        *out = *number;
        return true;
    }

    bool takeFeed(FeedKind kind) {
        if (feedGiven_ && o_.feed != kind)
            return refuse(QStringLiteral("choose one feed, not also ") + current());
        feedGiven_ = true;
        o_.feed = kind;
        return true;
    }

    bool takeProgram() {
        const auto who = value();
        if (who == QLatin1String("commander"))
            o_.commander = true;
        else if (who == QLatin1String("hrd"))
            o_.hrd = true;
        else if (who == QLatin1String("ftlink"))
            o_.ftlink = true;
        else
            return refuse(who ? QStringLiteral("--as takes commander, hrd or ftlink, not \"") +
                                    *who + QLatin1Char('"')
                              : QStringLiteral("--as needs commander, hrd or ftlink"));
        return true;
    }

    bool takeItem() {
        const qsizetype eq = current().indexOf(QLatin1Char('='));
        if (current().startsWith(QLatin1Char('-')) || eq <= 0)
            return refuse(QStringLiteral("unknown option \"") + current() +
                          QStringLiteral("\" (see --help)"));
        o_.items.append({current().left(eq), current().mid(eq + 1)});
        return true;
    }

    bool takeFlag() {
        const QString& a = current();
        bool* flag = a == QLatin1String("--help") || a == QLatin1String("-h")      ? &o_.help
                     : a == QLatin1String("--verbose") || a == QLatin1String("-v") ? &o_.verbose
                     : a == QLatin1String("--replace")                             ? &o_.replace
                     : a == QLatin1String("--silent") ? &o_.faults.silent
                     : a == QLatin1String("--fail")   ? &o_.faults.fail
                     : a == QLatin1String("--no-trx") ? &o_.faults.noTrx
                                                      : nullptr;
        if (flag)
            *flag = true;
        return flag != nullptr;
    }

    bool takeOne() {
        const QString& a = current();
        qint64 number = 0;
        if (takeFlag())
            return true;
        if (a == QLatin1String("--as"))
            return takeProgram();
        if (a == QLatin1String("--sweep"))
            return takeFeed(FeedKind::Sweep);
        if (a == QLatin1String("--stdin"))
            return takeFeed(FeedKind::Stdin);
        if (a == QLatin1String("--flood"))
            return takeFeed(FeedKind::Flood);
        if (a == QLatin1String("--step-hz"))
            return takeNumber(1, 1'000'000'000, &o_.stepHz);
        if (a == QLatin1String("--rate")) {
            const bool ok = takeNumber(1, 100'000, &number);
            o_.rate = static_cast<int>(number);
            return ok;
        }
        if (a == QLatin1String("--advise-first")) {
            o_.faults.adviseFirst = value();
            return o_.faults.adviseFirst || refuse(QStringLiteral("--advise-first needs a value"));
        }
        return takeItem();
    }

    const QStringList& args_;
    qsizetype at_ = 0;
    PublisherOptions o_;
    bool feedGiven_ = false;
    QString error_;
};

} // namespace

bool parseOptions(const QStringList& args, PublisherOptions* out, QString* error) {
    return Parser(args).run(out, error);
}

QString usageText() {
    return QStringLiteral(
        "Usage: veltaro-link-publisher [--as commander|hrd|ftlink]... [FEED] [OPTION]...\n"
        "                              [ITEM=VALUE]...\n"
        "Serves a radio's frequency on the D-Bus session bus under the link contract that\n"
        "Veltaro's Linux links read, standing in for the rig-control programs.\n"
        "\n"
        "Stand in for (repeatable; all three when none is given):\n"
        "  --as commander     org.veltaro.Link.CI_2dV_20Commander /DDEServer,\n"
        "                     item XmitFreq = kHz text (14074, 14074.6)\n"
        "  --as hrd           org.veltaro.Link.HRD_5fRADIO_5f000 /HRD_5fCAT,\n"
        "                     item HRD_HERTZ = Hz text (14074000)\n"
        "  --as ftlink        org.veltaro.FTLink: FirstObject() on / returns /Trx,\n"
        "                     property Frequency of org.veltaro.FTLink.Trx = MHz (double)\n"
        "\n"
        "Feed (one; --sweep when none is given):\n"
        "  --sweep            a simulated radio tuning through the amateur bands\n"
        "  --stdin            standard input, one line at a time: a frequency in Hz, or\n"
        "                     \"set ITEM VALUE\" or \"burst ITEM N\" (ITEM takes 1, 2, ... N),\n"
        "                     each command answered by \"done\" on standard output\n"
        "  --flood            10000 changes per second (a sweep in 100 Hz steps)\n"
        "\n"
        "Options:\n"
        "  ITEM=VALUE         an item's text from the start (Frequency: FTLink's, in MHz)\n"
        "  --step-hz HZ       sweep step in Hz (default 2500)\n"
        "  --rate N           sweep changes per second (default 4)\n"
        "  --replace          take the bus names over from a running publisher\n"
        "  --verbose          print each published frequency in Hz, and \"get\" for each\n"
        "                     read of Frequency, on standard output\n"
        "  --help             show this text\n"
        "\n"
        "Faults on purpose, for testing clients:\n"
        "  --silent           never answer Request or Get\n"
        "  --fail             answer Request and Get with an error\n"
        "  --advise-first V   send Advise(ITEM, V) just before answering Request(ITEM)\n"
        "  --no-trx           FirstObject() returns /Radio, which lacks the Trx interface\n"
        "\n"
        "Prints \"ready\" on standard output once it holds its bus names. A name held by a\n"
        "program on its way out is waited for up to 3 s. Runs until SIGINT or SIGTERM, then\n"
        "releases its bus names and exits 0.\n"
        "Exit status: 0 done, 1 no session bus or a bus name held by another program,\n"
        "2 bad usage.\n");
}

} // namespace link_publisher
