// The test instrument as a program: serves a pseudo-terminal until interrupted, so a person
// can run a survey without the meter, paced as on the water (--at-once answers at once), and
// try the faults of the field (see usage):
//   build/tests/QuorelTestInstrument            (prints the device path)
//   QUOREL_COM1=<path> build/Quorel             (setup file with Port=1)
//   QUOREL_FTD2XX=<path> build/Quorel           (setup file with Port=99, fake USB driver)
#include "TestInstrument.h"

#include <QByteArray>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

void usage()
{
    std::fputs("usage: QuorelTestInstrument [--name TEXT] [--speed TEXT] [--capability HEX]\n"
               "                            [--channels N] [--only-at BAUD] [--at-once] [--modem]\n"
               "                            [--silent-gps N] [--silent-sounder N] [--no-current N]\n"
               "                            [--noise N] [--spoil N] [--drop-line N] [--quiet]\n"
               "  --at-once         answer each cycle at once, not after its pulses\n"
               "  --silent-gps N    every Nth cycle relays no GPS sentence (--silent-sounder: no depth)\n"
               "  --no-current N    every Nth cycle measures no current\n"
               "  --noise N         every Nth cycle has stray bytes before its readings\n"
               "  --spoil N         every Nth cycle is spoiled on the line, in turn: cut short, stray\n"
               "                    bytes, a wrong sentence length, flipped bits\n"
               "  --drop-line N     the line drops in cycle N\n",
               stderr);
}

// Every nth occurrence, from the nth on (offset: occurrences skipped before that).
Instrument::TFault everyNth(Instrument::TFaultKind kind, Instrument::TPoint at, int n, int offset = 0, int period = 0)
{
    Instrument::TFault f{kind, at};
    f.Skip = n - 1 + offset;
    f.Times = -1;
    f.Every = period > 0 ? period : n;
    return f;
}
} // namespace

int main(int argc, char** argv)
{
    using Instrument::TFaultKind;
    using Instrument::TPoint;
    Instrument::TInstrumentSetup setup;
    setup.RealTime = true;
    std::vector<Instrument::TFault> faults;
    const QByteArray stray("\x07\x1b\x00\x3b\x0a", 5);
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        const auto count = [&] {
            const int n = std::atoi(argv[++i]);
            if (n < 1) {
                usage();
                std::exit(2);
            }
            return n;
        };
        if (!std::strcmp(argv[i], "--name") && hasValue)
            setup.NameLine = argv[++i];
        else if (!std::strcmp(argv[i], "--speed") && hasValue)
            setup.SpeedLine = argv[++i];
        else if (!std::strcmp(argv[i], "--capability") && hasValue)
            setup.Capability = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 16));
        else if (!std::strcmp(argv[i], "--channels") && hasValue)
            setup.Channels = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--only-at") && hasValue)
            setup.AnswerOnlyAtSpeed = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--at-once"))
            setup.RealTime = false;
        else if (!std::strcmp(argv[i], "--silent-gps") && hasValue)
            faults.push_back(everyNth(TFaultKind::SilentGps, TPoint::Gps, count()));
        else if (!std::strcmp(argv[i], "--silent-sounder") && hasValue)
            faults.push_back(everyNth(TFaultKind::SilentSounder, TPoint::Sounder, count()));
        else if (!std::strcmp(argv[i], "--no-current") && hasValue)
            faults.push_back(everyNth(TFaultKind::NoCurrent, TPoint::Readings, count()));
        else if (!std::strcmp(argv[i], "--noise") && hasValue) {
            faults.push_back(everyNth(TFaultKind::Noise, TPoint::Readings, count()));
            faults.back().Bytes = stray;
        } else if (!std::strcmp(argv[i], "--spoil") && hasValue) {
            const int n = count();
            const TFaultKind ways[] = {TFaultKind::CutShort, TFaultKind::Noise, TFaultKind::WrongLength,
                                       TFaultKind::FlipBits};
            for (int w = 0; w < 4; ++w) {
                faults.push_back(everyNth(ways[w], TPoint::Readings, n, w * n, 4 * n));
                faults.back().Bytes = stray;
            }
        } else if (!std::strcmp(argv[i], "--drop-line") && hasValue) {
            Instrument::TFault f{TFaultKind::DropLine, TPoint::Readings};
            f.Skip = count() - 1;
            faults.push_back(f);
        } else if (!std::strcmp(argv[i], "--modem"))
            setup.Modem = true;
        else if (!std::strcmp(argv[i], "--quiet"))
            quiet = true;
        else if (!std::strcmp(argv[i], "--help")) {
            usage();
            return 0;
        } else {
            usage();
            return 2;
        }
    }
    setup.Status = Instrument::TTestInstrument::DefaultStatus(setup.Channels);

    Instrument::TTestInstrument instrument(setup);
    if (instrument.DevicePath().isEmpty()) {
        std::fputs("no pseudo-terminal could be made\n", stderr);
        return 1;
    }
    for (const Instrument::TFault& f : faults)
        instrument.AddFault(f);
    if (!quiet)
        instrument.SetOnEvent([](const Instrument::TInstrumentEvent& e) {
            std::fprintf(stderr, "instrument: %s\n", e.Name().toLocal8Bit().constData());
        });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("%s\n", instrument.DevicePath().toLocal8Bit().constData());
    std::fflush(stdout);
    while (!stopRequested)
        ::pause();
    instrument.Stop();
    return 0;
}
