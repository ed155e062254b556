#include "InstrumentOptions.h"

#include <limits>
#include <optional>

namespace Instrument {

namespace {

// Bytes a line picks up now and then: bell, escape, a zero, a field separator, a line feed.
const QByteArray strayBytes("\x07\x1b\x00\x3b\x0a", 5);

// Every nth occurrence, from the nth on (offset: occurrences skipped before that).
TFault everyNth(TFaultKind kind, TPoint at, int n, int offset = 0, int period = 0)
{
    TFault f{kind, at};
    f.Skip = n - 1 + offset;
    f.Times = -1;
    f.Every = period > 0 ? period : n;
    return f;
}

} // namespace

const char* InstrumentUsage()
{
    return "usage: QuorelTestInstrument [--name TEXT] [--speed TEXT] [--capability HEX]\n"
           "                            [--channels N] [--only-at BAUD] [--at-once] [--late MS]\n"
           "                            [--modem] [--answer-ff | --trickle]\n"
           "                            [--silent-gps N] [--silent-sounder N] [--no-current N]\n"
           "                            [--noise N] [--spoil N] [--drop-line N] [--quiet]\n"
           "  --at-once         answer each cycle at once, not after its pulses\n"
           "  --late MS         each cycle's readings come MS ms later still (a slower instrument)\n"
           "  --silent-gps N    every Nth cycle relays no GPS sentence (--silent-sounder: no depth)\n"
           "  --no-current N    every Nth cycle measures no current\n"
           "  --noise N         every Nth cycle has stray bytes before its readings\n"
           "  --spoil N         every Nth cycle is spoiled on the line, in turn: cut short, stray\n"
           "                    bytes, a wrong sentence length, flipped bits\n"
           "  --drop-line N     the line drops in cycle N\n"
           "  --answer-ff       once connected, the line answers 0xFF once a second to everything\n"
           "  --trickle         once connected, the line brings a byte 0x55 a second and nothing else\n";
}

TInstrumentOptions ParseInstrumentOptions(const QStringList& arguments)
{
    TInstrumentOptions o;
    o.Setup.RealTime = true;
    for (qsizetype i = 0; i < arguments.size() && o.Error.isEmpty() && !o.Help; ++i) {
        const QString& name = arguments[i];
        const auto flag = [&](const char* n) { return name == QLatin1String(n); };
        // The argument's value, or an error when there is none.
        const auto text = [&]() -> std::optional<QString> {
            if (i + 1 < arguments.size())
                return arguments[++i];
            o.Error = name + " needs a value";
            return std::nullopt;
        };
        // A whole number from min to max, in the base given; an error otherwise.
        const auto number = [&](qlonglong min, qlonglong max, int base = 10) -> std::optional<qlonglong> {
            const std::optional<QString> t = text();
            if (!t)
                return std::nullopt;
            bool ok = false;
            const qlonglong n = t->toLongLong(&ok, base);
            if (ok && n >= min && n <= max)
                return n;
            o.Error = QString("%1 needs a %2 number from %3 to %4, not \"%5\"")
                          .arg(name, base == 16 ? "hexadecimal" : "whole")
                          .arg(QString::number(min, base), QString::number(max, base), *t);
            return std::nullopt;
        };
        // The N of a fault: from the Nth cycle on, every Nth.
        const auto count = [&] { return number(1, std::numeric_limits<int>::max() / 8); };

        if (flag("--name")) {
            if (const auto t = text())
                o.Setup.NameLine = t->toLocal8Bit();
        } else if (flag("--speed")) {
            if (const auto t = text())
                o.Setup.SpeedLine = t->toLocal8Bit();
        } else if (flag("--capability")) {
            if (const auto n = number(0, std::numeric_limits<uint32_t>::max(), 16))
                o.Setup.Capability = static_cast<uint32_t>(*n);
        } else if (flag("--channels")) {
            // Each cycle sends this many values a block: a few hundred at most keeps it a cycle.
            if (const auto n = number(0, 1000))
                o.Setup.Channels = static_cast<uint32_t>(*n);
        } else if (flag("--only-at")) {
            if (const auto n = number(1, std::numeric_limits<int>::max()))
                o.Setup.AnswerOnlyAtSpeed = static_cast<int>(*n);
        } else if (flag("--at-once")) {
            o.Setup.RealTime = false;
        } else if (flag("--late")) {
            // Up to ten minutes: longer would hold the host's survey for good.
            if (const auto n = number(0, 600000))
                o.Setup.ReadingsLateMs = static_cast<int>(*n);
        } else if (flag("--modem")) {
            o.Setup.Modem = true;
        } else if (flag("--answer-ff")) {
            o.Setup.LineAfterConnect = TLine::AnswerFF;
        } else if (flag("--trickle")) {
            o.Setup.LineAfterConnect = TLine::Trickle;
        } else if (flag("--quiet")) {
            o.Quiet = true;
        } else if (flag("--help")) {
            o.Help = true;
        } else if (flag("--silent-gps")) {
            if (const auto n = count())
                o.Faults.push_back(everyNth(TFaultKind::SilentGps, TPoint::Gps, int(*n)));
        } else if (flag("--silent-sounder")) {
            if (const auto n = count())
                o.Faults.push_back(everyNth(TFaultKind::SilentSounder, TPoint::Sounder, int(*n)));
        } else if (flag("--no-current")) {
            if (const auto n = count())
                o.Faults.push_back(everyNth(TFaultKind::NoCurrent, TPoint::Readings, int(*n)));
        } else if (flag("--noise")) {
            if (const auto n = count()) {
                o.Faults.push_back(everyNth(TFaultKind::Noise, TPoint::Readings, int(*n)));
                o.Faults.back().Bytes = strayBytes;
            }
        } else if (flag("--spoil")) {
            // One way after the other, each on every fourth spoiled cycle.
            if (const auto n = count()) {
                const TFaultKind ways[] = {TFaultKind::CutShort, TFaultKind::Noise, TFaultKind::WrongLength,
                                           TFaultKind::FlipBits};
                for (int w = 0; w < 4; ++w) {
                    o.Faults.push_back(everyNth(ways[w], TPoint::Readings, int(*n), w * int(*n), 4 * int(*n)));
                    o.Faults.back().Bytes = strayBytes;
                }
            }
        } else if (flag("--drop-line")) {
            if (const auto n = count()) {
                TFault f{TFaultKind::DropLine, TPoint::Readings};
                f.Skip = int(*n) - 1;
                o.Faults.push_back(f);
            }
        } else {
            o.Error = "unknown argument \"" + name + "\"";
        }
    }
    if (!o.Error.isEmpty())
        o.Faults.clear();
    return o;
}

} // namespace Instrument
