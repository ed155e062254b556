#pragma once
// The test instrument program's command line: how it paces its cycles and the faults of the
// field it plays, each from the Nth cycle on, every Nth.
#include "TestInstrument.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace Instrument {

struct TInstrumentOptions {
    TInstrumentSetup Setup;     // paced as on the water unless --at-once
    std::vector<TFault> Faults; // to add, in order
    bool Quiet = false;         // no event log on stderr
    bool Help = false;          // --help: print the usage and serve nothing
    QString Error;              // a bad or missing argument, in one line; empty when all is well
};

// The arguments after the program's name.
TInstrumentOptions ParseInstrumentOptions(const QStringList& arguments);
const char* InstrumentUsage();

} // namespace Instrument
