// The test instrument as a program: serves a pseudo-terminal until interrupted, so a person
// can run a survey without the meter:
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

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

void usage()
{
    std::fputs("usage: QuorelTestInstrument [--name TEXT] [--speed TEXT] [--capability HEX]\n"
               "                            [--channels N] [--only-at BAUD] [--cycle-ms MS] [--modem]\n"
               "                            [--quiet]\n",
               stderr);
}
} // namespace

int main(int argc, char** argv)
{
    Instrument::TInstrumentSetup setup;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
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
        else if (!std::strcmp(argv[i], "--cycle-ms") && hasValue)
            setup.CycleMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--modem"))
            setup.Modem = true;
        else if (!std::strcmp(argv[i], "--quiet"))
            quiet = true;
        else {
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
