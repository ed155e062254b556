// The test instrument as a program: serves a pseudo-terminal until interrupted, so a person
// can run a survey without the meter, paced as on the water (--at-once answers at once), and
// try the faults of the field (see usage):
//   build/tests/QuorelTestInstrument            (prints the device path)
//   QUOREL_COM1=<path> build/Quorel             (setup file with Port=1)
//   QUOREL_FTD2XX=<path> build/Quorel           (setup file with Port=99, fake USB driver)
#include "InstrumentOptions.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }
} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Instrument::TInstrumentOptions options = Instrument::ParseInstrumentOptions(arguments);
    // The usage goes to stderr: stdout's first line is the device, read by scripts.
    if (!options.Error.isEmpty()) {
        std::fprintf(stderr, "QuorelTestInstrument: %s\n%s", options.Error.toLocal8Bit().constData(),
                     Instrument::InstrumentUsage());
        return 2;
    }
    if (options.Help) {
        std::fputs(Instrument::InstrumentUsage(), stderr);
        return 0;
    }

    Instrument::TTestInstrument instrument(options.Setup);
    if (instrument.DevicePath().isEmpty()) {
        std::fputs("no pseudo-terminal could be made\n", stderr);
        return 1;
    }
    for (const Instrument::TFault& f : options.Faults)
        instrument.AddFault(f);
    if (!options.Quiet)
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
