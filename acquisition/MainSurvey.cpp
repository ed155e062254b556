// The survey: entered once the link is established (or from "New survey"), left when it stops.
// Preparation, waiting for Start, acceptance of the window's values, programming of the
// instrument, then one acquisition cycle after another until Stop.
#include "Main.h"
#include "LinkWords.h"

#include "AcquisitionFiles.h"
#include "CycleReading.h"
#include "Geometry.h"
#include "SurveyTrack.h"
#include "acquisition/setup/SetupFile.h"
#include "graph/Pesgvcl.h"
#include "link/Portvirt.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/MinimizeName.h"
#include "platform/NumberFormat.h"

#include <QCheckBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QToolButton>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace Acquisition {

namespace {

constexpr uint8_t CmdRange15Ip = 0x2F;
constexpr uint8_t CmdRange15 = 0x22;
constexpr uint8_t CmdRange5Ip = 0x31;
constexpr uint8_t CmdRange5 = 0x30;
constexpr int16_t SwitchWord = 29;
// How long one poll of the waits for Start and of the pause may block on the event queue.
constexpr int PollMs = 20;

const char* const ConversionFailed = "Verify .ini file with Quorelini, Comma not available\r\n Enter x.xx";

// The text of an edit box as a number in the user's locale form, or the conversion error.
float editValue(const QLineEdit* edit)
{
    float v = 0;
    if (!TryTextToFloat32(edit->text().trimmed(), v))
        throw Exception(QString("'%1' is not a valid floating point value").arg(edit->text()));
    return v;
}

void putLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// A sleep that holds the thread, as long as it is, in pieces that Sleep takes.
// The off time between two cycles. The window stays responsive meanwhile, so that an off time of
// minutes never freezes it: Stop, Power off and closing the window are handled at once and end
// the wait; the survey acts on them at the head of the next cycle as always.
void offTimeWait(int64_t ms, const int32_t& stopRequested)
{
    QElapsedTimer clock;
    clock.start();
    // A device gone meanwhile ends the wait: the next cycle ends the survey over it.
    while (stopRequested != 1 && ActivePort && ActivePort->GetState() > 0 && ActivePort->DeviceGone().isEmpty()) {
        const int64_t left = ms - clock.elapsed();
        if (left <= 0)
            break;
        TApplication::ProcessMessages(static_cast<int>(std::min<int64_t>(left, 50)));
    }
}

// The link as a cycle is read from it: the window's events are handled between polls, and a
// link that closes meanwhile fails the read.
class SurveyByteSource final : public CycleByteSource {
public:
    explicit SurveyByteSource(const int32_t& stopRequested) : stop_(stopRequested) { clock_.start(); }
    int Read(int waitMs) override
    {
        if (ActivePort->GetState() <= 0)
            throw Exception(PortErrGetcom);
        LinkProcessMessages();
        if (ActivePort->GetState() <= 0)
            throw Exception(PortErrGetcom);
        const int b = ActivePort->ReadByteTimed(waitMs);
        // A device that went away sends nothing more: the read fails at once, not after the
        // cycle's quiet bound.
        if (b < 0 && !ActivePort->DeviceGone().isEmpty())
            throw Exception(PortErrGetcom);
        return b;
    }
    int64_t NowMs() const override { return clock_.elapsed(); }
    bool StopRequested() const override { return stop_ == 1; }
    void Clear() override
    {
        ActivePort->ClearTx();
        ActivePort->ClearRx();
    }

private:
    const int32_t& stop_;
    QElapsedTimer clock_;
};

} // namespace

// The path without its extension: the part of the file name from its last "." on.
QString WithoutExtension(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    const qsizetype dot = path.lastIndexOf('.');
    return dot > slash ? path.left(dot) : path;
}

// The pulse time of the edit box (ms) in units of 10 ms: the quotient is kept in 16 bits before
// the 150 ms to 8000 ms bounds, as the instrument's word holds it.
uint16_t PulseTimeUnits(const QString& text, uint16_t current)
{
    int32_t ms = 0;
    if (!TryStrToInt(text.trimmed(), ms))
        ms = static_cast<int32_t>(current) * 10;
    uint16_t units = static_cast<uint16_t>(static_cast<uint32_t>(ms / 10));
    return std::clamp<uint16_t>(units, 15, 800);
}

void ReadReadingBlock(TPortVirt& port, std::array<float, WorkspaceSize>& workspace, uint64_t values,
                      int first, int currentAt)
{
    ReadReadingBlock(workspace.data(), values, first, currentAt, [&port](uint8_t* b) { port.GetBlock(b, 4); });
}

void TMainFrm::BitBtn1Click(QObject*)
{
    // Preparation. Its failures (a closed link) leave the handler.
    NewSurveyBtn->setEnabled(false);
    // Cleared first, so that a Stop or a Start given during the status download is not lost.
    StopRequested = 0;
    SwitchEnabled = 0;
    AcquisitionMode = 0;
    PendingMark = 0;
    Survey.Track.ReferenceLatitudeRad = 0;
    Survey.Track.ReferenceLongitudeRad = 0;
    // The IP box follows the instrument's capability: an instrument without IP data must not
    // be programmed for it.
    EnableControls(VarnokParametersGB, true);
    IpDataChk->setEnabled(IpDataUsable);
    EnableControls(StartConfigGB, true);
    ShowVp->setEnabled(true);
    ShowRho->setEnabled(true);
    GpsDisconnectLbl->hide();
    SounderDisconnectLbl->hide();
    PSeudoGB->show();
    PESGraph1->hide();
    PESGraph2->hide();
    VarnokParametersGB->setEnabled(true);
    DisplayReset();
    // A Stop ends the status exchange where the line gives it nothing to go on.
    const auto stopAsked = [this] { return StopRequested == 1; };
    ActivePort->Handshake(CmdStatus, 2000, 0, 0, nullptr, stopAsked);
    if (ActivePort->LoadBuffer(InstrumentStatus.data(), static_cast<int>(InstrumentStatus.size()), stopAsked) < 0) {
        // No status came (a silent line, one that sends only bytes of its own): nothing can be
        // measured. The link is taken down and that is said, so that Power On finds the
        // instrument again.
        EndWithoutMeasurement();
        TakeDownSilentLink(); // the survey's controls go off with the link
        return;
    }
    BinHeaderText = BinHeaderTextFor(QDateTime::currentDateTime());

    for (;;) {
        if (!WaitForStart()) {
            EndWithoutMeasurement();
            return;
        }
        if (Accept() == TAcceptance::Accepted)
            break;
    }
    // From here to the end of the survey Start has nothing to start: F3 is ignored.
    surveyCycling_ = true;
    const auto cyclingEnds = qScopeGuard([this] { surveyCycling_ = false; });
    if (!ProgramInstrument()) {
        // Stopped while the instrument's prompt was awaited: it was not programmed.
        StopSequence();
        return;
    }
    for (;;) {
        ++Survey.CycleIndex;
        Survey.Track.BeginCycle();
        SounderDepth = 0;
        Survey.BinFileName = BinaryFileName(AcquisitionBaseName, Survey.Files.FileIndex);
        TApplication::ProcessMessages();
        if (StopRequested == 1) {
            Speedtxt->setText("0");
            StopSequence();
            return;
        }
        try {
            RunCycle();
        } catch (...) {
            // A cycle that fails (a link error, a file that cannot be written) is given up; the
            // next one follows, and a stop request ends the survey at its head. Over a link whose
            // device went away no cycle can pass again: the survey ends here.
            if (ActivePort->GetState() > 0) {
                const QString gone = ActivePort->DeviceGone();
                if (!gone.isEmpty()) {
                    EndWithDeviceGone(gone);
                    return;
                }
            }
        }
        TApplication::ProcessMessages();
        const int64_t offTime = OffTimeMs(DelayTime);
        if (offTime > 0)
            offTimeWait(offTime, StopRequested);
    }
}

// True once Start was given; false on a stop request.
bool TMainFrm::WaitForStart()
{
    StartConfigGB->show();
    PSeudoGB->show();
    PauseBtn->setEnabled(true);
    StopBtn->setEnabled(true);
    for (;;) {
        TApplication::ProcessMessages(PollMs);
        if (StopRequested == 1)
            return false;
        if (AcquisitionMode != 0)
            return true;
    }
}

void TMainFrm::EndWithoutMeasurement()
{
    EnableControls(VarnokParametersGB, false);
    ShowVp->setEnabled(false);
    ShowRho->setEnabled(false);
    if (ConnectGb->isHidden()) {
        NewSurveyBtn->setEnabled(true);
        NewSurveyBtn->show();
    }
}

TMainFrm::TAcceptance TMainFrm::Accept()
{
    try {
        RemoteTime = PulseTimeUnits(TimeEdt->text(), RemoteTime);
        TimeEdt->setText(QString::number(10 * int(RemoteTime)));
        ChannelCount = StrToIntDef(ChannelEdt->text().trimmed(), 10);
        // Refused before anything is written: a name whose later binary files cannot be made
        // would lose every cycle after the first file's end.
        const QString nameProblem = BaseNameProblem(WithoutExtension(AcquisitionFileName));
        if (!nameProblem.isEmpty()) {
            Dialogs().ShowMessage(nameProblem);
            AcquisitionMode = 0;
            return TAcceptance::Refused;
        }
        try {
            AcceptWindowValues();
            if (QFileInfo(AcquisitionFileName).exists()) {
                const int answer = Dialogs().MessageBox("Overwrite file : " + AcquisitionFileName, "File exist",
                                                        MB_YESNO | MB_ICONWARNING);
                if (answer != IDYES) {
                    BrowseBtnClick();
                    return TAcceptance::Refused; // asked again at once with the new name
                }
            }
            if (ModelTagFound)
                RemoteTxVoltage = 0;
            VarnokParametersGB->setEnabled(false);
            NewGpsBtn->setEnabled(false);
            TxVoltageCheckBtn->setEnabled(false);
            return TAcceptance::Accepted;
        } catch (...) {
            Dialogs().ShowMessage(ConversionFailed);
            if (!SetupIni)
                throw Exception("no setup file");
            RemoteTxVoltage = Setup::ReadFloat32(*SetupIni, Setup::Parameters, "RemoteTxVoltage", 12);
            ShowPositionBoxes(CaEdt, CbEdt, PEdt, 124, 160);
            AcquisitionMode = 0;
            return TAcceptance::Refused;
        }
    } catch (...) {
        // Asking again at once would fail the same way for ever: the user gives Start again.
        Dialogs().ShowMessage("Input error");
        AcquisitionMode = 0;
        return TAcceptance::Refused;
    }
}

// Acceptance steps 3 to 7: voltage, coordinates (each kept as soon as it converts),
// write-back, channel rule, geometry.
void TMainFrm::AcceptWindowValues()
{
    RemoteTxVoltage = editValue(TxVoltageEdt);
    const auto take = [this](int index, const QLineEdit* edit) { Workspace[index] = editValue(edit); };
    take(124, CaEdt);
    take(125, CbEdt);
    for (int i = 0; i < 11; ++i)
        take(126 + i, PEdt[i]);
    take(144, YCaEdt);
    take(145, YCbEdt);
    for (int i = 0; i < 11; ++i)
        take(146 + i, YPEdt[i]);
    take(157, CaEdt);
    take(158, CbEdt);
    take(159, PEdt[10]);
    for (int i = 11; i < 21; ++i)
        take(160 + i - 11, PEdt[i]);
    take(177, YCaEdt);
    take(178, YCbEdt);
    take(179, YPEdt[10]);
    for (int i = 11; i < 21; ++i)
        take(180 + i - 11, YPEdt[i]);

    WriteBackSetup();

    if (ChannelCount < 1 || ChannelCount > 20) {
        ChannelEdt->setText("10");
        ChannelCount = 10;
    }
    // Channels above the count keep no factor of an earlier survey: their labels are shown too.
    GeometricFactors.fill(0);
    MeasurePoints.fill(0);
    PointDepths.fill(0);
    ComputeCableDistances();
    if (ChannelCount > 10)
        ComputeCable2Distances();
    for (int q = 0; q < ChannelCount; ++q) {
        GeometricFactors[q] = RoundToFloat32(GeometricFactor(q));
        MeasurePoints[q] = RoundToFloat32(MeasurePointX(q));
        PointDepths[q] = -RoundToFloat32(PseudoDepth(q));
    }
}

void TMainFrm::WriteBackSetup()
{
    if (!SetupIni)
        throw Exception("no setup file");
    TIniFile& ini = *SetupIni;
    const QString P = Setup::Parameters;
    ini.WriteFloat(P, "RemoteTxVoltage", double(RemoteTxVoltage));
    ini.WriteInteger(P, "RemoteTime", RemoteTime);
    ini.WriteInteger(P, "RemoteDelay", RemoteDelay);
    ini.WriteInteger(P, "AddDistance", AddDistanceChk->isChecked() ? 1 : 0);
    ini.WriteInteger(P, "GpsConnected", GpsConnectedCB->isChecked() ? 1 : 0);
    ini.WriteInteger(P, "SounderConnected", SounderCB->isChecked() ? 1 : 0);
    ini.WriteInteger(P, "Channel", ChannelCount);
    ini.WriteInteger(P, "IpData", IpDataChk->isChecked() ? 1 : 0);
    ini.WriteInteger(P, "Range15", Range15Rb->isChecked() ? 1 : 0);
    for (const Setup::PositionKey& key : Setup::PositionKeys())
        ini.WriteFloat(P, key.Name, double(Workspace[key.WorkspaceIndex]));
    ini.WriteString(P, "AcquisitionFile", AcquisitionFileName);
    ini.WriteFloat(P, "MinDistance", double(MinDistance));
}

// False when a stop request ended the wait for the instrument's prompt.
bool TMainFrm::ProgramInstrument()
{
    AcquisitionBaseName = WithoutExtension(AcquisitionFileName);
    // A line that still shows what the last survey kept goes back to the caption it had.
    if (keptSurveyLine_.isEmpty() || MainGB->text() != keptSurveyLine_)
        surveyCaption_ = MainGB->text();
    const bool kept = !keptSurveyLine_.isEmpty() && MainGB->text() == keptSurveyLine_;
    keptSurveyLine_.clear();
    FileProblem.clear();
    Survey.LostCycles = 0;
    Survey.LostReason.clear();
    Survey.PaceMs = 0;
    Survey.FileNotice.clear();
    Survey.CyclesToStore = 0;
    // With the other counts: a Stop during the prompt wait below must not weigh the last
    // survey's binary files against this one's text file.
    Survey.Files = BinaryFileState{};
    if (kept)
        ShowSurveyLine();
    // A text file that cannot be made now gets its header with its first row.
    SetFileProblem(WriteTextHeader(AcquisitionFileName, Survey.Text));

    const bool range15 = Range15Rb->isChecked();
    const bool ip = IpDataChk->isChecked();
    // The prompt is awaited as the link does, but Stop can end the wait.
    if (!WaitSurveyPrompt()) {
        if (StopRequested == 1 && ActivePort->GetState() > 0)
            return false;
    } else {
        ActivePort->SetCmd(range15 ? (ip ? CmdRange15Ip : CmdRange15) : (ip ? CmdRange5Ip : CmdRange5), 2000);
    }
    uint8_t parameters[8];
    std::memcpy(parameters, &RemoteTxVoltage, 4); // little-endian host
    putLe16(parameters + 4, RemoteTime);
    putLe16(parameters + 6, RemoteDelay);
    ActivePort->PutBlock(parameters, 8);

    SwitchEnabled = SetupIni ? Setup::ReadInt16(*SetupIni, Setup::Relaybox, "RelyaboxEnabled", 0) : 0;
    if (ChannelCount > 10)
        SwitchEnabled = 1;
    SwitchRB->setChecked(SwitchEnabled != 0);
    PanelV11_20->hide();
    PanelP11_22->hide();
    // After the switch-unit rule, which would otherwise hide channels 11 to 20 again.
    DipoleDisplayLayout();
    uint8_t word[2];
    if (SwitchEnabled != 0) {
        putLe16(word, static_cast<uint16_t>(SwitchWord));
        ActivePort->PutBlock(word, 2);
        SwitchEnabled = 1;
        for (const char set : {'1', '2'}) {
            uint8_t table[26];
            const int first = set == '1' ? 1 : 11;
            for (int e = 0; e < 13; ++e) {
                const QString key = e == 0   ? QString("%1CA").arg(set)
                                    : e == 1 ? QString("%1CB").arg(set)
                                             : QString("%1P%2").arg(set).arg(e - 1);
                const int def = e < 2 ? 0 : first + e - 2;
                putLe16(table + 2 * e, static_cast<uint16_t>(SetupIni ? SetupIni->ReadInteger(Setup::Relaybox, key, def) : def));
            }
            ActivePort->PutBlock(table, 26);
        }
    } else {
        putLe16(word, 0);
        ActivePort->PutBlock(word, 2);
    }

    // A stop request given while the instrument was programmed is kept: the survey stops at
    // the head of its first cycle.
    GraphSetUp();
    Survey.CycleIndex = -1;
    Survey.Track.BeginSurvey();
    NewRefRequested = 0;
    MarkCounter = 0;
    PendingMark = 0;
    ShowRho->setChecked(true);
    DisplayRho = 1;
    return true;
}

// The prompt ":>" as the link awaits it; false also when a stop request ended the wait (the
// instrument stayed quiet, or sent everything but the prompt). A closed link ends it as the
// link's own prompt wait does.
bool TMainFrm::WaitSurveyPrompt(bool* talking)
{
    static const QByteArray prompt = ":>";
    QElapsedTimer quiet;   // since the last byte, counted only while a stop is asked for
    QElapsedTimer stopped; // since the stop request was seen
    QByteArray seen;
    for (;;) {
        LinkProcessMessages();
        if (ActivePort->GetState() <= 0)
            return ActivePort->WaitPrompt();
        const int b = ActivePort->ReadByteTimed(PollMs);
        if (b >= 0) {
            quiet.invalidate();
            seen += static_cast<char>(b);
            if (seen.size() > prompt.size())
                seen.remove(0, seen.size() - prompt.size());
            if (seen == prompt)
                return true;
        }
        if (StopRequested == 1) {
            if (!stopped.isValid())
                stopped.start();
            if (b < 0 && !quiet.isValid())
                quiet.start();
            const int64_t quietMs = quiet.isValid() ? quiet.elapsed() : 0;
            if (StopPromptWaitOver(stopped.elapsed(), quietMs)) {
                if (talking)
                    *talking = quietMs < StopQuietMs;
                return false;
            }
        }
    }
}

// Cycle steps 3 to 15.
void TMainFrm::RunCycle()
{
    SurveyTrack& track = Survey.Track;
    while (PauseBtn->isChecked()) {
        TApplication::ProcessMessages(PollMs);
        Speedtxt->setText("0");
        // A device gone during the pause: the trigger fails on it, which ends the survey.
        if (StopRequested == 1 || !ActivePort->DeviceGone().isEmpty())
            break;
    }
    const uint8_t mode = static_cast<uint8_t>(AcquisitionMode & 0xFF);
    try {
        // Nothing of the instrument's belongs before the trigger: bytes still held are the rest
        // of a spoiled cycle (stray bytes, a wrong sentence length), which would shift this one.
        ActivePort->ClearRx();
        // A device gone (in the off time, the pause) would refuse the trigger for seconds.
        if (!ActivePort->DeviceGone().isEmpty())
            throw Exception(PortErrPutcom);
        ActivePort->PutCom(mode);
    } catch (const std::exception& e) {
        // A line that went away refuses the trigger every cycle: said, so that the user knows
        // the survey stores nothing until the link is back. A device gone ends the survey, which
        // says so; nothing was measured.
        if (ActivePort->DeviceGone().isEmpty())
            noteLostCycle(LinkFaultWords(QString::fromStdString(e.what()), {}));
        throw;
    }
    CycleShape shape;
    shape.Gps = (mode & 0x0A) != 0;
    shape.Sounder = (mode & 0xA0) != 0;
    std::memcpy(&shape.Channels, InstrumentStatus.data(), 4);
    shape.Ip = IpDataChk->isChecked();
    shape.SecondSet = SwitchEnabled == 1;
    shape.PulseTime = RemoteTime;
    shape.PulseDelay = RemoteDelay;
    SurveyByteSource source(StopRequested);
    CycleReader reader(source, shape, Survey.PaceMs);
    try {
        if (mode == 0x55)
            track.Trip = static_cast<float>(Survey.CycleIndex);
        else
            ReadSentences(reader);
        ReadReadings(reader);
    } catch (const CycleGivenUp& e) {
        // Nothing of the cycle can be told its own: no record gets readings of another cycle.
        noteLostCycle(LostCycleWords(e.Loss));
        throw;
    } catch (const std::exception& e) {
        // The device went away under the read: the cycle is lost with the link.
        const QString gone = ActivePort->DeviceGone();
        if (!gone.isEmpty())
            noteLostCycle(LinkFaultWords(QString::fromStdString(e.what()), gone));
        throw;
    }

    if (Survey.Files.RecordsInFile == 0) {
        const QString problem = CreateBinaryFile(Survey.BinFileName, BinHeaderText, Survey.Files);
        SetFileProblem(problem);
        TApplication::ProcessMessages();
        // Tried again next cycle; meanwhile the cycle goes on: its append makes the file, or
        // goes on in a new one when something that is not this survey's file is in its place.
    }

    const bool addDistance = AddDistanceChk->isChecked();
    const QTime now = QTime::currentTime();
    const std::optional<double> speed =
        track.UpdateDistance(addDistance, Survey.CycleIndex, MinDistance, TimeOfDayFraction(now.msecsSinceStartOfDay()));
    if (speed)
        Speedtxt->setText(FormatFloat("#.0", *speed));
    ClearSetsWithoutCurrent(Workspace);
    CycleDisplay();
    if (!track.ShouldStore(addDistance, MinDistance))
        return;
    StoreCycle();
}

// Cycle step 5: the relayed sentences the mode byte asks for.
void TMainFrm::ReadSentences(CycleReader& reader)
{
    SurveyTrack& track = Survey.Track;
    // The sentences of the trigger's mode, whatever the field holds by now.
    if (reader.Shape().Gps) {
        GpsDisconnectLbl->hide();
        const int32_t length = reader.ReadSentence(SentenceBuffer.data());
        if (length == 0) {
            GpsDisconnectLbl->show();
            TimeoutSignal(true);
            track.HandleGpsTimeout();
        } else {
            track.HandleGpsSentence(SentenceBuffer.data(), static_cast<size_t>(length), NewRefRequested, SimulationMode);
        }
    }
    if (reader.Shape().Sounder) {
        int32_t length = 0;
        if (!!GpsDisconnectLbl->isHidden()) {
            SounderDisconnectLbl->hide();
            length = reader.ReadSentence(SentenceBuffer.data());
        }
        if (length == 0) {
            SounderDisconnectLbl->show();
            TimeoutSignal(false);
            SounderDepth = 0;
        } else {
            const DepthResult depth =
                track.HandleSounderSentence(SentenceBuffer.data(), static_cast<size_t>(length), DepthOffset);
            SounderDepth = depth.Depth;
            // Maroon while the sounder gives no depth: what the display shows is then the
            // last good depth, or none.
            ShowDepthCue(depth.ZeroDepth);
        }
    }
}

// One beep (GPS only), then ten times: 200 ms held, messages, a beep.
void TMainFrm::TimeoutSignal(bool firstBeep)
{
    if (firstBeep)
        MessageBeep();
    for (int i = 0; i < 10; ++i) {
        Sleep(200);
        TApplication::ProcessMessages();
        MessageBeep();
    }
}

// Cycle step 6. A sentence timeout keeps its labels, trip and depth, but the cycle's own
// readings still come after it and replace the previous ones once they have all come; a cycle
// whose readings cannot be told apart is lost (CycleUnreadable), never stored with old ones.
void TMainFrm::ReadReadings(CycleReader& reader)
{
    reader.ReadReadings(Workspace);
    Survey.PaceMs = std::max(Survey.PaceMs, reader.WholeCycleMs());
}

// Cycle steps 12 to 15 for a stored cycle.
void TMainFrm::StoreCycle()
{
    SurveyTrack& track = Survey.Track;
    SounderDepth = track.MarkStored(SounderCB->isChecked(), SounderDepth);
    CycleRecordContext record;
    record.SounderChecked = SounderCB->isChecked();
    record.IpMeasured = IpDataChk->isChecked();
    record.RemoteTime = RemoteTime;
    record.RemoteTxVoltage = RemoteTxVoltage;
    record.TotalDistance = track.TotalDistance;
    record.SounderDepth = SounderDepth;
    record.GpsAltitude = track.GpsAltitude;
    record.GpsLatitude = track.GpsLatitude;
    record.GpsLongitude = track.GpsLongitude;
    record.DateTime = DateValue(QDateTime::currentDateTime());
    for (int q = 0; q < ChannelCount; ++q) {
        FillDipoleRecord(DipoleRecords[static_cast<size_t>(q)], q, Workspace, GeometricFactors[static_cast<size_t>(q)], record);
        GraphUpdate(q);
    }
    GraphUpdateEnd();
    TApplication::ProcessMessages();

    ++Survey.CyclesToStore;
    QString notice;
    const QString appendProblem = AppendCycleRecords(Survey.BinFileName, BinHeaderText, Survey.Files, DipoleRecords,
                                                     ChannelCount, PendingMark, MarkCounter, &notice);
    if (!notice.isEmpty())
        Survey.FileNotice = notice;
    if (!appendProblem.isEmpty()) {
        SetFileProblem(appendProblem);
        ShowSurveyLine(); // the cycle is lost in both files; a one-shot mark stays pending
        return;
    }
    MarkImg->hide();
    TApplication::ProcessMessages();

    TextRowContext row;
    row.Trip = track.Trip;
    row.SounderDepth = SounderDepth;
    row.TotalDistance = track.TotalDistance;
    row.GpsLatitude = track.GpsLatitude;
    row.GpsLongitude = track.GpsLongitude;
    row.GpsSentence = track.GpsSentence;
    row.SounderSentence = track.SounderSentence;
    notice.clear();
    SetFileProblem(AppendTextRows(AcquisitionFileName, TextRows(DipoleRecords, ChannelCount, Workspace, row), Survey.Text, &notice));
    if (!notice.isEmpty())
        Survey.FileNotice = notice;
    ShowSurveyLine();
}

void TMainFrm::StopSequence()
{
    // The connection line keeps the cycles lost, with their reason, and the last file message
    // until the next survey starts, so that the user reads them after Stop.
    surveyStopping_ = true;
    ShowSurveyLine();
    surveyStopping_ = false;
    keptSurveyLine_ = MainGB->text() != surveyCaption_ ? MainGB->text() : QString();
    try {
        ActivePort->PutCom(0);
        SounderLblx->hide();
        AltitudeLblx->hide();
        StopBtn->setEnabled(false);
        PauseBtn->setEnabled(false);
        NewGpsBtn->setEnabled(false);
        SetScreenCursor(TCursor::crHourGlass);
        // An instrument that lost step may never answer: the survey ends all the same. A line
        // that keeps sending everything but the prompt is no link to go on with: it is taken
        // down, so that Power On finds the instrument again.
        bool talking = false;
        if (!WaitSurveyPrompt(&talking) && talking && ActivePort->GetState() > 0) {
            SetScreenCursor(TCursor::crDefault);
            TakeDownSilentLink();
            keepSurveyLineAfter(MainGB->text());
            return;
        }
        SetScreenCursor(TCursor::crDefault);
        ConnectGb->hide();
        EnableControls(VarnokParametersGB, false);
        ShowVp->setEnabled(false);
        ShowRho->setEnabled(false);
        NewSurveyBtn->setEnabled(true);
        NewSurveyBtn->show();
    } catch (const std::exception& e) {
        // Typically the end byte on a link closed by Power off: the window keeps what it reached.
        SetScreenCursor(TCursor::crDefault);
        if (ActivePort && ActivePort->GetState() > 0) {
            // The link failed by itself (a line that went away): the survey is over all the
            // same; the link is taken down and the line says why, so that the user can connect
            // again at once; the survey's controls go off with the link.
            keepSurveyLineAfter(TakeDownFailedLink(e));
        }
    } catch (...) {
        SetScreenCursor(TCursor::crDefault);
    }
}

// The link came down at Stop: the line says why in place of the caption of a link that is no
// more, and keeps what the survey said of its cycles and files.
void TMainFrm::keepSurveyLineAfter(const QString& words)
{
    QString text = words;
    if (!keptSurveyLine_.isEmpty() && keptSurveyLine_.startsWith(surveyCaption_))
        text += keptSurveyLine_.mid(surveyCaption_.size());
    MainGB->setText(text);
    if (!keptSurveyLine_.isEmpty())
        keptSurveyLine_ = text;
}

// The survey over a link whose device went away ends as Power off leaves it: the link closed,
// the connect controls back for Power On once the device is back. The line says the loss and
// what the survey stored and lost, with what the files said.
void TMainFrm::EndWithDeviceGone(const QString& gone)
{
    StopRequested = 1;
    Speedtxt->setText("0");
    EnableControls(VarnokParametersGB, false);
    ShowVp->setEnabled(false);
    ShowRho->setEnabled(false);
    const QStringList parts = QStringList{SurveyLinkLostText(gone, Survey.CyclesToStore, Survey.LostCycles)} + surveyFileParts(true);
    closeLink(); // the survey's controls go off with it
    MainGB->setText(parts.join("  -  "));
}

// A failed write of an acquisition file shows in the connection line (no box: the survey goes
// on and tries again); the line comes back once a write succeeds.
void TMainFrm::SetFileProblem(const QString& problem)
{
    if (problem == FileProblem)
        return;
    FileProblem = problem;
    ShowSurveyLine();
}

// What the connection line says of the survey's files: a file made again or left, a write that
// failed, and the cycles a file lacks (at Stop, or once `stopped`, files that differ).
QStringList TMainFrm::surveyFileParts(bool stopped) const
{
    QStringList parts;
    if (!Survey.FileNotice.isEmpty())
        parts << Survey.FileNotice;
    if (!FileProblem.isEmpty())
        parts << FileProblem;
    const QString missing = MissingCyclesText(BinaryFileName(AcquisitionBaseName, 0), Survey.Files.CyclesHeld, AcquisitionFileName,
                                              Survey.Text.CyclesHeld(), Survey.CyclesToStore, stopped,
                                              Survey.Files.FileIndex > 0);
    if (!missing.isEmpty())
        parts << missing;
    return parts;
}

// The connection line during a survey: the file problem, if any, and the cycles lost so far.
void TMainFrm::ShowSurveyLine()
{
    if (ActivePort && ActivePort->GetState() <= 0)
        return; // the link went down: its line is not ours to write
    QString text = (QStringList{surveyCaption_} + surveyFileParts(surveyStopping_)).join("  -  ");
    if (Survey.LostCycles > 0)
        // Short, so that it reads whole in the centred line beside the instrument's name.
        text += QString("  -  %1 cycle%2 lost: %3")
                    .arg(Survey.LostCycles)
                    .arg(Survey.LostCycles == 1 ? "" : "s")
                    .arg(Survey.LostReason);
    MainGB->setText(text);
}

void TMainFrm::noteLostCycle(const QString& reason)
{
    ++Survey.LostCycles;
    Survey.LostReason = reason;
    ShowSurveyLine();
}

// --- commands

void TMainFrm::NewGpsBtnClick(QObject*)
{
    // The key works while the button is disabled, but once the survey cycles a new file or a
    // cancelled dialog would split or end it; and without a link there is no survey to start.
    if (surveyCycling_ || !ActivePort || ActivePort->GetState() <= 0)
        return;
    PendingMark = 0;
    BrowseBtnClick();
    AcquisitionMode = (GpsConnectedCB->isChecked() ? 0x0A : 0x05) + (SounderCB->isChecked() ? 0xA0 : 0x50);
}

void TMainFrm::StopBtnClick(QObject*)
{
    StopRequested = 1;
    NewGpsBtn->setEnabled(false);
    TxVoltageCheckBtn->setEnabled(false);
}

void TMainFrm::BrowseBtnClick()
{
    if (SetupIni)
        AcquisitionFileName = SetupIni->ReadString(Setup::Parameters, "AcquisitionFile", AcquisitionFileName);
    const QString proposed = WithoutExtension(AcquisitionFileName);
    TFileDialogRequest request;
    request.Filter = "Acquisition data file (*.txt,*.bin)|*.txt;*.bin";
    request.FileName = QFileInfo(proposed).fileName();
    request.InitialDir = QFileInfo(proposed).absolutePath();
    if (!Dialogs().SaveFile(request)) {
        StopRequested = 1;
        return;
    }
    QString chosen = request.FileName;
    if (QFileInfo(chosen).isRelative() && !request.InitialDir.isEmpty())
        chosen = request.InitialDir + "/" + chosen;
    const QString base = WithoutExtension(chosen);
    FilenameEdt->setText(MinimizeName(base, fontMetrics(), FilenameEdt->width() - 4));
    AcquisitionFileName = base + ".txt";
}

void TMainFrm::Mark5Execute(QObject*)
{
    PendingMark = 500;
    MarkImg->show();
}
void TMainFrm::Mark6Execute(QObject*)
{
    PendingMark = 600;
    MarkImg->show();
}
void TMainFrm::Mark7Execute(QObject*)
{
    PendingMark = 700;
    MarkImg->show();
}
void TMainFrm::Mark8Execute(QObject*)
{
    PendingMark = 800;
    MarkImg->show();
}
void TMainFrm::Mark9Execute(QObject*)
{
    if (MarkCounter == 0)
        MarkCounter = 1000;
    ++MarkCounter;
    MarkImg->show();
}

void TMainFrm::BitBtn5Click(QObject*) { NewRefRequested = 1; }

void TMainFrm::SimulationBtnClick(QObject*)
{
    SimulationMode = SimulationMode == 0 ? 1 : 0;
    SimulationLbl->setVisible(SimulationMode != 0);
}

int32_t TMainFrm::ParseGpsPosition(char* buffer, uint32_t length, float& longitude, float& latitude, float& longitudeRad,
                                   float& latitudeRad, float& altitude)
{
    const GpsPosition p = ParseGpsSentence(buffer, length);
    longitude = p.Longitude;
    latitude = p.Latitude;
    longitudeRad = p.LongitudeRad;
    latitudeRad = p.LatitudeRad;
    altitude = p.Altitude;
    return p.End;
}

int32_t TMainFrm::ParseSounderDepth(char* buffer, uint32_t length, float& depth)
{
    const SounderReading r = ParseSounderSentence(buffer, length);
    depth = r.Depth;
    return r.End;
}

} // namespace Acquisition
