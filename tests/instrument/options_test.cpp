// The test instrument program's command line: each switch gives the setup or the faults it
// names, a fault acts on the cycles it says, and a bad argument is an error, never a crash.
#include "InstrumentOptions.h"

#include <gtest/gtest.h>

using namespace Instrument;

namespace {

QString kindName(TFaultKind kind)
{
    switch (kind) {
    case TFaultKind::SilentGps: return "silent GPS";
    case TFaultKind::SilentSounder: return "silent sounder";
    case TFaultKind::NoCurrent: return "no current";
    case TFaultKind::Noise: return "noise";
    case TFaultKind::DropLine: return "drop line";
    case TFaultKind::CutShort: return "cut short";
    case TFaultKind::WrongLength: return "wrong length";
    case TFaultKind::FlipBits: return "flip bits";
    default: return "other";
    }
}

// Each fault as "<kind>: <cycles of the first 20 it acts on>", counted from 0.
QStringList actsOn(const std::vector<TFault>& faults)
{
    QStringList out;
    for (const TFault& f : faults) {
        QString s = kindName(f.Kind) + ":";
        for (int cycle = 0; cycle < 20; ++cycle)
            if (FaultActs(f, cycle))
                s += " " + QString::number(cycle);
        out << s;
    }
    return out;
}

TEST(InstrumentOptions, SwitchesGiveTheirFaultsOnTheirCycles)
{
    const struct {
        QStringList arguments;
        bool realTime;
        QStringList faults;
    } rows[] = {
        {{}, true, {}},
        {{"--at-once"}, false, {}},
        {{"--late", "5000", "--silent-gps", "2"}, true, {"silent GPS: 1 3 5 7 9 11 13 15 17 19"}},
        {{"--silent-gps", "3"}, true, {"silent GPS: 2 5 8 11 14 17"}},
        {{"--silent-sounder", "1"}, true, {"silent sounder: 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19"}},
        {{"--no-current", "7"}, true, {"no current: 6 13"}},
        {{"--noise", "5"}, true, {"noise: 4 9 14 19"}},
        {{"--drop-line", "4"}, true, {"drop line: 3"}},
        // Every second cycle is spoiled, each way in turn.
        {{"--spoil", "2"}, true, {"cut short: 1 9 17", "noise: 3 11 19", "wrong length: 5 13", "flip bits: 7 15"}},
        {{"--spoil", "1", "--at-once", "--no-current", "10"},
         false,
         {"cut short: 0 4 8 12 16", "noise: 1 5 9 13 17", "wrong length: 2 6 10 14 18", "flip bits: 3 7 11 15 19",
          "no current: 9 19"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const TInstrumentOptions o = ParseInstrumentOptions(row.arguments);
        EXPECT_EQ(o.Error, QString());
        EXPECT_FALSE(o.Help);
        EXPECT_EQ(o.Setup.RealTime, row.realTime);
        EXPECT_EQ(actsOn(o.Faults), row.faults);
        EXPECT_EQ(o.Setup.ReadingsLateMs, row.arguments.contains("--late") ? 5000 : 0);
        for (const TFault& f : o.Faults) {
            EXPECT_EQ(f.Match, -1) << "a switch's fault acts on any cycle";
            if (f.Kind == TFaultKind::Noise) {
                EXPECT_FALSE(f.Bytes.isEmpty());
            }
        }
    }
}

TEST(InstrumentOptions, IdentityAndLineSwitches)
{
    const TInstrumentOptions o = ParseInstrumentOptions({"--name", "VARNOK 12", "--speed", "115200", "--capability",
                                                         "1000000a", "--channels", "12", "--only-at", "38400", "--modem",
                                                         "--quiet"});
    EXPECT_EQ(o.Error, QString());
    EXPECT_EQ(o.Setup.NameLine, "VARNOK 12");
    EXPECT_EQ(o.Setup.SpeedLine, "115200");
    EXPECT_EQ(o.Setup.Capability, 0x1000000Au);
    EXPECT_EQ(o.Setup.Channels, 12u);
    EXPECT_EQ(o.Setup.AnswerOnlyAtSpeed, 38400);
    EXPECT_TRUE(o.Setup.Modem);
    EXPECT_TRUE(o.Quiet);
    EXPECT_TRUE(o.Faults.empty());
    EXPECT_EQ(o.Setup.LineAfterConnect, TLine::Answering);
    EXPECT_TRUE(ParseInstrumentOptions({"--spoil", "3", "--help"}).Help);
    // A bad line once connected; the last switch holds.
    EXPECT_EQ(ParseInstrumentOptions({"--answer-ff"}).Setup.LineAfterConnect, TLine::AnswerFF);
    EXPECT_EQ(ParseInstrumentOptions({"--answer-ff", "--trickle"}).Setup.LineAfterConnect, TLine::Trickle);
    for (const char* option : {"--answer-ff", "--trickle", "--modem", "--drop-line N", "--late MS"})
        EXPECT_TRUE(QString(InstrumentUsage()).contains(option)) << option;
}

TEST(InstrumentOptions, BadOrMissingNumbersAreErrors)
{
    const struct {
        QStringList arguments;
        QString error;
    } rows[] = {
        {{"--spoil"}, "--spoil needs a value"},
        {{"--noise", "2", "--drop-line"}, "--drop-line needs a value"},
        {{"--spoil", "0"}, "--spoil needs a whole number from 1 to 268435455, not \"0\""},
        {{"--silent-gps", "-2"}, "--silent-gps needs a whole number from 1 to 268435455, not \"-2\""},
        {{"--no-current", "two"}, "--no-current needs a whole number from 1 to 268435455, not \"two\""},
        {{"--drop-line", "3x"}, "--drop-line needs a whole number from 1 to 268435455, not \"3x\""},
        {{"--noise", "99999999999"}, "--noise needs a whole number from 1 to 268435455, not \"99999999999\""},
        {{"--channels", "100000"}, "--channels needs a whole number from 0 to 1000, not \"100000\""},
        {{"--capability", "1z"}, "--capability needs a hexadecimal number from 0 to ffffffff, not \"1z\""},
        {{"--name"}, "--name needs a value"},
        {{"--late", "-1"}, "--late needs a whole number from 0 to 600000, not \"-1\""},
        {{"--spoil", "2", "5"}, "unknown argument \"5\""},
        {{"--silentgps", "5"}, "unknown argument \"--silentgps\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const TInstrumentOptions o = ParseInstrumentOptions(row.arguments);
        EXPECT_EQ(o.Error, row.error);
        EXPECT_TRUE(o.Faults.empty()) << "no half-parsed line is served";
    }
}

} // namespace
