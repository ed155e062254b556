// Whole surveys in Quorel against the test instrument: the acquisition files are compared byte
// for byte with what this test computes, on its own, from what the instrument sent.
#include "SurveyFixture.h"
#include "acquisition/Main.h"
#include "instrument/TestInstrument.h"
#include "support/InsideWait.h"

#include <QCheckBox>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <sys/resource.h>
#include <csignal>

using Acquisition::TMainFrm;
using Instrument::TCycleReadings;
using Instrument::TFault;
using Instrument::TFaultKind;
using Instrument::TInstrumentSetup;
using Instrument::TPoint;
using Instrument::TTestInstrument;

namespace {

// --- What the files must hold, computed here from the instrument's bytes and the file formats' rules.

float radians(float ddmm)
{
    const float t = static_cast<float>(double(ddmm) * 0.01);
    const float d = static_cast<float>(std::trunc(t));
    float m = static_cast<float>(double(t) - d);
    m = static_cast<float>(double(m) * 1.6666666666666667);
    return static_cast<float>((double(d) + m) * 3.141592653589793 * 0.005555555555555556);
}

QList<QByteArray> fields(const QByteArray& sentence) { return sentence.split(','); }

double days(const QDateTime& t)
{
    return QDate(1899, 12, 30).daysTo(t.date()) + t.time().msecsSinceStartOfDay() / 86400000.0;
}

// printf's own formatting (exact ties to even), with a point whatever the process locale.
QString f(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return QString::fromLatin1(buf).replace(',', '.');
}

struct Expected {
    QByteArray Bin;  // records only (the header is checked apart)
    QByteArray Text; // the whole text file
    int StoredCycles = 0;
};

// Cycles (instrument's count, from 0) in which the instrument misbehaved.
struct CycleFaults {
    std::set<int> SilentGps, SilentSounder, NoCurrent;
    // Cycles whose readings stopped halfway: given up, stored nowhere, their readings not taken.
    std::set<int> CutShort;
};

// The electrode positions as typed in the window, in the places the records and rows take them
// from: the second cable set shares A and B with the first and starts at P11.
std::array<float, 310> typedGeometry(const TMainFrm& w)
{
    std::array<float, 310> g{};
    const auto v = [](const QLineEdit* e) { return static_cast<float>(e->text().toDouble()); };
    g[124] = g[157] = v(w.CaEdt);
    g[125] = g[158] = v(w.CbEdt);
    g[144] = g[177] = v(w.YCaEdt);
    g[145] = g[178] = v(w.YCbEdt);
    for (size_t i = 0; i < 11; ++i) {
        g[126 + i] = v(w.PEdt[i]);
        g[146 + i] = v(w.YPEdt[i]);
    }
    for (size_t i = 10; i < 21; ++i) {
        g[149 + i] = v(w.PEdt[i]);
        g[169 + i] = v(w.YPEdt[i]);
    }
    return g;
}

// The survey the window ran: its settings, the positions typed in it, and n cycles.
Expected expectFiles(const TMainFrm& w, int cycles, uint32_t instrumentChannels, const std::vector<double>& dateValues,
                     const CycleFaults& faults = {})
{
    Expected e;
    const bool ip = w.IpDataChk->isChecked(), gps = w.GpsConnectedCB->isChecked(), sounder = w.SounderCB->isChecked();
    const bool add = w.AddDistanceChk->isChecked();
    const int channels = w.ChannelCount;
    const bool second = w.SwitchEnabled != 0;
    const std::array<float, 310> geo = typedGeometry(w);
    e.Text = "Distance;Depth;Rho 1;M 1;Rho 2;M 2;Rho 3;M 3;Rho 4;M 4;Rho 5;M 5;Rho 6;M 6;Rho 7;M 7;Rho 8;M 8;Rho 9;M 9;"
             "Rho 10;M 10;C1;C2;P1;P2;P3;P4;P5;P6;P7;P8;P9;P10;P11;Latitude;Longitude;In+;In-;V1+;V1-;V2+;V2-;V3+;V3-;"
             "V4+;V4-;V5+;V5-;V6+;V6-;V7+;V7-;V8+;V8-;V9+;V9-;V10+;V10-\r\n";

    float refLat = 0, refLon = 0, lastStored = 0, lastGoodDepth = 0;
    std::array<float, 310> W{};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (faults.CutShort.count(cycle) > 0) {
            // Its sentences came and were handled: the depth it gave bridges a later zero depth.
            if (sounder) // a depth is the next bridge; a zero depth uses the bridge up
                lastGoodDepth = static_cast<float>(fields(TTestInstrument::DefaultSounderSentence(cycle))[3].toDouble());
            continue;
        }
        // A GPS timeout skips the sounder's sentence too; the cycle's own readings still count.
        const bool gpsLost = gps && faults.SilentGps.count(cycle) > 0;
        const bool sounderLost = sounder && (gpsLost || faults.SilentSounder.count(cycle) > 0);
        // Readings into the window's map, as the instrument sent them.
        TCycleReadings r = TTestInstrument::DefaultReadings({}, instrumentChannels, cycle);
        if (faults.NoCurrent.count(cycle) > 0)
            r.PlusI[0] = r.MinusI[0] = r.PlusI[1] = r.MinusI[1] = 0;
        for (int k = 0; k < 10; ++k) {
            W[k] = r.PlusV[0][k];
            W[11 + k] = r.MinusV[0][k];
            if (ip) {
                W[84 + k] = r.PlusIp[0][k];
                W[94 + k] = r.MinusIp[0][k];
            }
            W[42 + k] = second ? r.PlusV[1][k] : 0;
            W[53 + k] = second ? r.MinusV[1][k] : 0;
            if (ip) {
                W[104 + k] = second ? r.PlusIp[1][k] : 0;
                W[114 + k] = second ? r.MinusIp[1][k] : 0;
            }
        }
        W[10] = r.PlusI[0];
        W[21] = r.MinusI[0];
        W[52] = second ? r.PlusI[1] : 0;
        W[63] = second ? r.MinusI[1] : 0;
        // A cable set without current shows and stores no potentials; its IP values stay.
        if (!(std::fabs(double(W[10]) - W[21]) * 0.5 >= 0.001))
            std::fill(W.begin(), W.begin() + 22, 0.0f);
        if (!(std::fabs(double(W[52]) - W[63]) * 0.5 >= 0.001))
            std::fill(W.begin() + 42, W.begin() + 64, 0.0f);

        // Position, trip, depth.
        float lat = 0, lon = 0, alt = 0, trip = 0, depth = 0;
        QByteArray gpsSentence, sounderSentence;
        if (gps && !gpsLost) {
            gpsSentence = TTestInstrument::DefaultGpsSentence(cycle);
            const auto g = fields(gpsSentence);
            lat = static_cast<float>(g[2].toDouble() * (g[3].startsWith('N') ? 1.0 : -1.0));
            lon = static_cast<float>(g[4].toDouble() * (g[5].startsWith('E') ? 1.0 : -1.0));
            alt = static_cast<float>(g[9].toDouble());
            const float latRad = radians(lat), lonRad = radians(lon);
            if (refLat == 0 && refLon == 0) {
                refLat = latRad;
                refLon = lonRad;
            }
            const double dLat = (double(latRad) - refLat) * 0.5, dLon = (double(lonRad) - refLon) * 0.5;
            const double a = std::sin(dLat) * std::sin(dLat) +
                             std::cos(double(latRad)) * std::cos(double(refLat)) * std::sin(dLon) * std::sin(dLon);
            trip = std::ceil(static_cast<float>(6378137.0 * 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a))));
        }
        if (!gps && !sounder)
            trip = static_cast<float>(cycle); // no sentences: the cycle count is the distance
        if (sounder && !sounderLost) {
            sounderSentence = TTestInstrument::DefaultSounderSentence(cycle);
            depth = static_cast<float>(fields(sounderSentence)[3].toDouble());
            if (depth == 0) {
                depth = lastGoodDepth;
                lastGoodDepth = 0;
            } else {
                lastGoodDepth = depth;
            }
            depth = static_cast<float>(double(depth) - w.DepthOffset);
        }
        const float total = add ? trip : 0;
        const bool stored = cycle == 0 || !add || std::fabs(double(total) - lastStored) >= w.MinDistance;
        if (!stored)
            continue;
        lastStored = total;
        if (!sounder)
            depth = alt;
        ++e.StoredCycles;

        // Records.
        std::array<DipoleRecord, 20> records{};
        for (int c = 0; c < channels; ++c) {
            DipoleRecord& d = records[c];
            const bool s2 = c >= 10;
            const float vPlus = s2 ? W[c + 32] : W[c], vMinus = s2 ? W[c + 43] : W[c + 11];
            const float iPlus = s2 ? W[52] : W[10], iMinus = s2 ? W[63] : W[21];
            const float ipPlus = s2 ? W[c + 94] : W[84 + c], ipMinus = s2 ? W[c + 104] : W[94 + c];
            const int a = s2 ? 157 : 124, m = s2 ? c + 149 : 126 + c;
            const int xs[4] = {a, a + 1, m, m + 1};
            d.Kind = sounder ? 12 : 10;
            d.Version = 3;
            d.PulseTimeMs = static_cast<float>(w.RemoteTime * 10);
            d.One = 1;
            for (int i = 0; i < 4; ++i) {
                d.X[i] = static_cast<float>(double(geo[xs[i]]) + total);
                d.Y[i] = geo[xs[i] + 20];
                d.Z[i] = sounder ? -depth : alt;
            }
            d.Vp = static_cast<float>((double(vPlus) - vMinus) / 2);
            d.Sp = static_cast<float>(ip ? (double(ipPlus) + ipMinus) / 2 : (double(vPlus) + vMinus) / 2);
            d.In = static_cast<float>(std::fabs(double(iPlus) - iMinus) / 2);
            d.Rho = d.In > 0.001f ? static_cast<float>(double(w.GeometricFactors[c]) * d.Vp / d.In) : 0.0f;
            d.M = ip && std::fabs(d.Vp) > 0.001f ? static_cast<float>((double(ipPlus) - ipMinus) * 500 / d.Vp) : 0.0f;
            d.Channel = static_cast<uint8_t>(c % 10);
            d.Latitude = lat;
            d.Longitude = lon;
            d.TxVoltage = w.RemoteTxVoltage;
            d.DateTime = dateValues.at(static_cast<size_t>(e.StoredCycles - 1));
            e.Bin.append(reinterpret_cast<const char*>(&d), sizeof d);
        }

        // Rows.
        const int cr = gpsSentence.indexOf('\r');
        const QByteArray gpsField = gpsSentence.size() > 5 && cr < 0 ? gpsSentence.left(80) : cr < 0 ? QByteArray() : gpsSentence.left(cr + 1);
        const int star = sounderSentence.indexOf('*');
        const QByteArray sounderField = star < 0 ? QByteArray() : sounderSentence.left(star + 1);
        for (int row = 0; row < (channels > 10 ? 2 : 1); ++row) {
            QString t = f("%.2f;", trip) + f("%.2f;", depth);
            for (int k = 0; k < 10; ++k) {
                const int c = 10 * row + k;
                t += f("%.4f;", c < channels ? records[c].Rho : 0.0) + f("%.4f;", c < channels ? records[c].M : 0.0);
            }
            for (int i = 0; i < 13; ++i)
                t += f("%.2f;", double(geo[(row ? 157 : 124) + i]) + total);
            t += f("%.6f;", lat) + f("%.6f;", lon);
            t += f("%.4f;", W[row ? 52 : 10]) + f("%.4f;", W[row ? 63 : 21]);
            for (int k = 0; k < 10; ++k)
                t += f("%.4f;", W[(row ? 42 : 0) + k]) + f("%.4f;", W[(row ? 53 : 11) + k]);
            e.Text += t.toLatin1() + gpsField + ";" + sounderField + ";\r\n";
        }
    }
    return e;
}

// The date values the binary file holds, one per stored cycle, each checked to lie within the
// survey's time.
std::vector<double> storedDates(const QByteArray& bin, int channels, double from, double to)
{
    std::vector<double> dates;
    for (qsizetype at = 1029; at + 304 <= bin.size(); at += 304 * channels) {
        double v = 0;
        std::memcpy(&v, bin.constData() + at + 296, 8);
        EXPECT_GE(v, from - 1e-6);
        EXPECT_LE(v, to + 1e-6);
        dates.push_back(v);
    }
    return dates;
}

void expectBinHeader(const QByteArray& bin)
{
    ASSERT_GE(bin.size(), 1029);
    EXPECT_EQ(bin.left(5), QByteArray("\x02\x00\x00\x80\x09", 5));
    EXPECT_TRUE(bin.mid(5).startsWith("Quorel file dated on ")) << bin.mid(5, 40).constData();
    const QByteArray text = bin.mid(5, 1024);
    const qsizetype end = text.indexOf('\0');
    ASSERT_GT(end, 0);
    EXPECT_EQ(text.mid(end), QByteArray(1024 - end, '\0'));
}

struct WholeSurvey {
    const char* name;
    SurveySetup setup;
    bool range15;
    uint8_t command;
    int16_t switchWord;
};

class WholeSurveyTest : public SurveyTest {
protected:
    // Both files of a survey of `cycles` cycles that ran between `before` and `after`.
    void expectSurveyFiles(const TMainFrm& w, const QString& file, int cycles, const QDateTime& before,
                           const QDateTime& after, const CycleFaults& faults = {})
    {
        const QByteArray bin = fileBytes(file + ".bin");
        expectBinHeader(bin);
        const std::vector<double> dates = storedDates(bin, w.ChannelCount, days(before), days(after));
        const Expected e = expectFiles(w, cycles, 10, dates, faults);
        ASSERT_GT(e.StoredCycles, 1);
        EXPECT_EQ(static_cast<int>(dates.size()), e.StoredCycles);
        ASSERT_EQ(bin.size(), 1029 + e.Bin.size() + 1);
        for (qsizetype at = 0; at < e.Bin.size(); at += 304)
            ASSERT_EQ(bin.mid(1029 + at, 304).toHex(' '), e.Bin.mid(at, 304).toHex(' ')) << "record " << at / 304;
        EXPECT_EQ(bin.back(), '\0');
        const QByteArray text = fileBytes(file + ".txt");
        const QList<QByteArray> lines = text.split('\n'), expectedLines = e.Text.split('\n');
        ASSERT_EQ(lines.size(), expectedLines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].toStdString(), expectedLines[i].toStdString()) << "line " << i;
    }
};

// One survey per row, a few cycles each, GPS and sounder relayed where the row says.
TEST_F(WholeSurveyTest, FilesHoldEveryStoredCycleByteForByte)
{
    const WholeSurvey rows[] = {
        {"10 channels, IP, GPS and sounder, distance added", {10, true, true, true, true, "0", "0.5"}, true, 47, 0},
        {"12 channels, no IP, min distance 2 m", {12, false, true, true, true, "2", "0"}, true, 34, 29},
        {"11 channels, IP, GPS and sounder", {11, true, true, true, true, "0", "0"}, true, 47, 29},
        {"10 channels, IP on the 5 V range, GPS only, no distance", {10, true, true, false, false, "1", "0"}, false, 49, 0},
        {"5 channels, no sentences, switch unit on", {5, false, false, false, true, "3", "0", 1}, false, 48, 29},
    };
    for (const WholeSurvey& row : rows) {
        SCOPED_TRACE(row.name);
        DropWindow();
        serve();
        TMainFrm& w = start(row.setup);
        w.EnableControls(w.RangePanel, true);
        (row.range15 ? w.Range15Rb : w.Range5Rb)->setChecked(true);
        const QString file = dir.File(QString("survey %1").arg(&row - rows));
        const QDateTime before = QDateTime::currentDateTime();
        run({startWith(file), stopAfter(6)});
        powerOn();
        const QDateTime after = QDateTime::currentDateTime();

        // The instrument was programmed from the window and stopped.
        const auto program = instrument->Program();
        EXPECT_EQ(program.Command, row.command);
        EXPECT_EQ(program.SwitchWord, row.switchWord);
        EXPECT_FLOAT_EQ(program.TxVoltage, 24.0f);
        EXPECT_EQ(program.PulseTime, 15);
        EXPECT_TRUE(instrument->WaitForEvent("stop", 2000));
        const int cycles = instrument->Cycles();
        ASSERT_GE(cycles, 6);
        EXPECT_EQ(w.Survey.CycleIndex, cycles);
        EXPECT_FALSE(w.NewSurveyBtn->isHidden());
        EXPECT_EQ(w.AcquisitionFileName, file + ".txt");
        // The value displays of the channels in use.
        EXPECT_EQ(w.PanelV11_20->isHidden(), w.ChannelCount <= 10);
        for (int k = 2; k <= 20; ++k)
            if (k != 11 && (k <= 10 || w.ChannelCount > 10)) {
                EXPECT_EQ(w.VLblx[k - 1]->isHidden(), k > w.ChannelCount) << "channel " << k;
            }

        expectSurveyFiles(w, file, cycles, before, after);
        // The window wrote its values back into the setup file at Start.
        EXPECT_TRUE(fileBytes(setupPath).contains("AcquisitionFile=" + (file + ".txt").toLocal8Bit()));
        EXPECT_TRUE(fileBytes(setupPath).contains("GraphPoints=100"));
        EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join(" | ").toStdString();
    }
}

// A cycle without current stores zeros for its potentials (its IP values stay); a cycle whose
// sounder or GPS sentence does not come says so and stores its own readings, without the
// sentences and, without a GPS fix, with trip 0.
TEST_F(WholeSurveyTest, SentenceTimeoutsAndCyclesWithoutCurrent)
{
    CycleFaults faults;
    faults.NoCurrent = {2};
    faults.SilentSounder = {4};
    faults.SilentGps = {6};
    serve();
    instrument->AddFault({TFaultKind::NoCurrent, TPoint::Any, 0, 1, 2});
    instrument->AddFault({TFaultKind::SilentSounder, TPoint::Any, 0, 1, 4});
    instrument->AddFault({TFaultKind::SilentGps, TPoint::Any, 0, 1, 6});
    SurveySetup s;
    s.Channels = 12;
    s.Ip = true;
    TMainFrm& w = start(s);
    // The cycles during which each timeout display was seen, and what it said.
    std::set<int> gpsShown, sounderShown;
    QStringList texts;
    const auto look = [&] {
        if (!w.GpsDisconnectLbl->isHidden()) {
            gpsShown.insert(w.Survey.CycleIndex);
            texts << w.GpsDisconnectLbl->text();
        }
        if (!w.SounderDisconnectLbl->isHidden()) {
            sounderShown.insert(w.Survey.CycleIndex);
            texts << w.SounderDisconnectLbl->text();
        }
    };
    const QString file = dir.File("timeouts");
    const QDateTime before = QDateTime::currentDateTime();
    run({startWith(file), {[&] {
                               look();
                               return cycles() >= 8;
                           },
                           [&] { w.Action4->trigger(); }}});
    powerOn();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));

    // Each display shows from its timeout until the next cycle reads that sentence again.
    EXPECT_TRUE(gpsShown.count(6)) << "GPS timeout not shown";
    EXPECT_TRUE(sounderShown.count(4)) << "sounder timeout not shown";
    EXPECT_TRUE(sounderShown.count(6)) << "no sounder sentence is read after a GPS timeout";
    EXPECT_TRUE(std::all_of(gpsShown.begin(), gpsShown.end(), [](int c) { return c == 6 || c == 7; }));
    EXPECT_TRUE(std::all_of(sounderShown.begin(), sounderShown.end(), [](int c) { return c >= 4 && c <= 7; }));
    EXPECT_TRUE(texts.contains("GPS timeout"));
    EXPECT_TRUE(texts.contains("Sounder timeout"));
    EXPECT_EQ(texts.filter("timeout").size(), texts.size());
    expectSurveyFiles(w, file, instrument->Cycles(), before, after, faults);
}

// "RelyaboxEnabled" 1 with ten channels or fewer: the instrument is programmed for the switch
// unit and sends both cable sets' blocks; the survey reads all of them, so that every cycle is
// stored whole with what the instrument sent, and the link stays in step.
TEST_F(WholeSurveyTest, SwitchUnitWithTenChannelsOrFewerReadsBothSets)
{
    for (const int channels : {8, 10}) {
        SCOPED_TRACE(channels);
        DropWindow();
        serve();
        SurveySetup s;
        s.Channels = channels;
        s.RelayboxEnabled = 1;
        s.Ip = true;
        TMainFrm& w = start(s);
        const QString file = dir.File(QString("switch %1").arg(channels));
        QString line;
        const QDateTime before = QDateTime::currentDateTime();
        run({startWith(file), stopAfter(4, line)});
        powerOn();
        const QDateTime after = QDateTime::currentDateTime();
        ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
        EXPECT_TRUE(instrument->Program().Switch());
        EXPECT_EQ(line, "Connected to VARNOK 10 at 38400 Bds") << "no cycle lost";
        const int cycles = instrument->Cycles();
        EXPECT_EQ(fileBytes(file + ".bin").size(), 1029 + cycles * channels * 304 + 1) << "every cycle stored";
        expectSurveyFiles(w, file, cycles, before, after);
        // The window holds the second set's readings of the last cycle as the instrument sent them.
        const Instrument::TCycleReadings r = TTestInstrument::DefaultReadings({}, 10, cycles - 1);
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ(w.Workspace[42 + k], r.PlusV[1][k]) << "V" << k + 1 << "+ of the second set";
            EXPECT_EQ(w.Workspace[53 + k], r.MinusV[1][k]);
            EXPECT_EQ(w.Workspace[104 + k], r.PlusIp[1][k]);
            EXPECT_EQ(w.Workspace[114 + k], r.MinusIp[1][k]);
        }
        EXPECT_EQ(w.Workspace[52], r.PlusI[1]);
        EXPECT_EQ(w.Workspace[63], r.MinusI[1]);
    }
}

// An instrument paced as on the water: each cycle's readings come its pulses after the trigger
// (150 ms pulses, one cable set: 300 ms), well within the host's wait for them, so no cycle is
// given up and every one is stored; and the host triggers no cycle before the last one's
// pulses are over.
TEST_F(WholeSurveyTest, PacedInstrumentLosesNoCycle)
{
    TInstrumentSetup setup;
    setup.RealTime = true;
    serve(setup);
    TMainFrm& w = start();
    const QString file = dir.File("paced");
    const QDateTime before = QDateTime::currentDateTime();
    run({startWith(file), stopAfter(3)});
    powerOn();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    const int cycles = instrument->Cycles();
    ASSERT_GE(cycles, 3);
    EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds");
    EXPECT_EQ(fileBytes(file + ".bin").size(), 1029 + cycles * 10 * 304 + 1) << "every cycle stored";
    expectSurveyFiles(w, file, cycles, before, after);

    // Triggers and the stop, each at least a cycle after the trigger before it.
    const std::chrono::milliseconds cycle(Instrument::CycleDurationMs(instrument->Program()));
    ASSERT_EQ(cycle.count(), 300);
    std::vector<std::chrono::steady_clock::time_point> at;
    for (const Instrument::TInstrumentEvent& e : instrument->Events())
        if (e.What == "trigger" || e.What == "stop")
            at.push_back(e.At);
    ASSERT_EQ(static_cast<int>(at.size()), cycles + 1);
    for (size_t i = 1; i < at.size(); ++i)
        EXPECT_GE(at[i] - at[i - 1], cycle) << "cycle " << i - 1;
}

// An instrument slower than its pulses (its readings come 5 s after them; nothing fixes how soon
// they must): the host waits for them, gives up no cycle and stores every one, the cycle under
// way when Stop is given too, as the pace that the instrument has shown says it lasts.
TEST_F(WholeSurveyTest, SlowInstrumentLosesNoCycle)
{
    TInstrumentSetup setup;
    setup.RealTime = true;
    setup.ReadingsLateMs = 5000;
    serve(setup);
    TMainFrm& w = start();
    const QString file = dir.File("slow");
    QString line;
    const QDateTime before = QDateTime::currentDateTime();
    run({startWith(file), stopAfter(4, line)});
    powerOn();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 10000));
    const int cycles = instrument->Cycles();
    ASSERT_GE(cycles, 4);
    EXPECT_EQ(line, "Connected to VARNOK 10 at 38400 Bds") << "no cycle lost before Stop";
    EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds") << "no cycle lost at Stop";
    EXPECT_EQ(fileBytes(file + ".bin").size(), 1029 + cycles * 10 * 304 + 1) << "every cycle stored";
    expectSurveyFiles(w, file, cycles, before, after);
}

// A cycle cut short after its first block is given up; the next cycle's GPS sentence does not
// come, and it stores its own readings: not the cut cycle's first block with the cycle before's
// other blocks.
TEST_F(WholeSurveyTest, CutCycleThenSilentSentenceStoresItsOwnReadings)
{
    CycleFaults faults;
    faults.CutShort = {2};
    faults.SilentGps = {3};
    serve();
    instrument->AddFault({TFaultKind::CutShort, TPoint::Any, 0, 1, 2});
    instrument->AddFault({TFaultKind::SilentGps, TPoint::Any, 0, 1, 3});
    TMainFrm& w = start({}, 90000);
    const QString file = dir.File("cut");
    QString line;
    const QDateTime before = QDateTime::currentDateTime();
    run({startWith(file), stopAfter(6, line)});
    powerOn();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    EXPECT_TRUE(line.contains("1 cycle lost")) << line.toStdString();
    expectSurveyFiles(w, file, instrument->Cycles(), before, after, faults);
}

// Pulses of seconds, paced as on the water (6 s a cycle): a GPS or sounder sentence that does
// not come leaves its cycle's readings, which come once the pulses are over, to be read as in
// any cycle, so that it and every later cycle is stored with its own readings and position.
struct LongPulses {
    const char* name;
    int remoteTime;  // units of 10 ms
    int channels;    // above 10: two cable sets
    bool sounder;
};

void PrintTo(const LongPulses& p, std::ostream* out) { *out << p.name; }

class LongPulseSurveyTest : public WholeSurveyTest, public ::testing::WithParamInterface<LongPulses> {};

TEST_P(LongPulseSurveyTest, SentenceTimeoutKeepsTheLinkInStep)
{
    const LongPulses& p = GetParam();
    CycleFaults faults;
    faults.SilentGps = {1};
    if (p.sounder)
        faults.SilentSounder = {3};
    TInstrumentSetup setup;
    setup.RealTime = true;
    serve(setup);
    for (const int c : faults.SilentGps)
        instrument->AddFault({TFaultKind::SilentGps, TPoint::Any, 0, 1, c});
    for (const int c : faults.SilentSounder)
        instrument->AddFault({TFaultKind::SilentSounder, TPoint::Any, 0, 1, c});
    SurveySetup s;
    s.RemoteTime = p.remoteTime;
    s.Channels = p.channels;
    s.Sounder = p.sounder;
    TMainFrm& w = start(s, 120000);
    const QString file = dir.File("long");
    const QDateTime before = QDateTime::currentDateTime();
    run({startWith(file), stopAfter(5)});
    powerOn();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    ASSERT_EQ(Instrument::CycleDurationMs(instrument->Program()), 6000);
    const int cycles = instrument->Cycles();
    ASSERT_GE(cycles, 5);
    EXPECT_EQ(w.Survey.CycleIndex, cycles);
    EXPECT_TRUE(w.GpsDisconnectLbl->isHidden()) << "the receiver is fine again";
    EXPECT_TRUE(w.SounderDisconnectLbl->isHidden());
    const int rows = p.channels > 10 ? 2 : 1;
    EXPECT_EQ(fileBytes(file + ".bin").size(), 1029 + cycles * p.channels * 304 + 1) << "every cycle stored";
    EXPECT_EQ(fileBytes(file + ".txt").count('\n'), 1 + rows * cycles);
    expectSurveyFiles(w, file, cycles, before, after, faults);
}

INSTANTIATE_TEST_SUITE_P(SixSecondCycles, LongPulseSurveyTest,
                         ::testing::Values(LongPulses{"Pulses3000msOneSetGps", 300, 10, false},
                                           LongPulses{"Pulses3000msOneSetGpsSounder", 300, 10, true},
                                           LongPulses{"Pulses1500msTwoSetsGps", 150, 12, false},
                                           LongPulses{"Pulses1500msTwoSetsGpsSounder", 150, 12, true}),
                         [](const ::testing::TestParamInfo<LongPulses>& info) { return std::string(info.param.name); });

} // namespace
