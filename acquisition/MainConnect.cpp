// Power: connecting to the instrument and taking the link down again.
#include "Main.h"

#include "LinkWords.h"

#include "link/LittleEndian.h"
#include "link/Portvirt.h"
#include "link/Varnokpro.h"
#include "platform/Application.h"
#include "platform/Shell.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QCheckBox>
#include <QLineEdit>

namespace Acquisition {

namespace {
// Both identification texts start as this; a name still equal to it was not read.
const QString IdentificationFiller(40, 'Z');
constexpr uint32_t CapabilityNoIp = 0x10000001;
constexpr uint32_t CapabilityIp = 0x10000002;
constexpr uint32_t CapabilityRange = 0x10000003;
// The connection line when the instrument answered nothing at all (at Power off), or never
// identified itself (at Power On).
constexpr const char* NoAnswerText = "The instrument did not answer";
} // namespace

int TMainFrm::PowerTag() const { return PowerOnOffBtn->property("Tag").toInt(); }
void TMainFrm::SetPowerTag(int tag) { PowerOnOffBtn->setProperty("Tag", tag); }

void TMainFrm::RestoreConnectControls()
{
    if (PowerOnOffBtn->isChecked())
        PowerOnOffBtn->setChecked(false);
    EnableControls(ConnectGb, true);
    NewSurveyBtn->setEnabled(true);
    NewSurveyBtn->hide();
    ConnectGb->show();
}

void TMainFrm::SurveyControlsOff()
{
    // A survey cut off by the link going down never reaches the end of its stop sequence: its
    // depth would stay over the sounder box into the next connection, and a Pause left down
    // would hold that connection's first cycle.
    SounderLblx->hide();
    AltitudeLblx->hide();
    NewGpsBtn->setEnabled(false);
    PauseBtn->setChecked(false);
    PauseBtn->setEnabled(false);
    StopBtn->setEnabled(false);
}

void TMainFrm::SetLinkLamps(bool on)
{
    RsOffImg->setVisible(!on);
    RsOnImg->setVisible(on);
    Image2->setEnabled(!on);
}

void TMainFrm::ConnectBtnClick(QObject*)
{
    // Without a setup file there is no port to drive.
    if (!ActivePort || !SetupIni)
        return;
    if (connecting_ && ActivePort->GetState() <= 0) {
        // Power again while the port is being opened gives the opening up (the link sees its
        // state leave "opening"); a second connection is never started inside the first.
        ActivePort->SetState(0);
        return;
    }
    if (takingDown_) {
        // Power again while the link is being taken down joins that: a second Escape would
        // double the wait and its close would cut the first short and lose what it found.
        if (PowerOnOffBtn->isChecked())
            PowerOnOffBtn->setChecked(false);
        return;
    }
    QString failure;
    try {
        if (ActivePort->GetState() > 0) {
            takingDown_ = true;
            const auto takenDown = qScopeGuard([this] { takingDown_ = false; });
            TApplication::ProcessMessages();
            if (PowerOnOffBtn->isChecked())
                PowerOnOffBtn->setChecked(false);
            Disconnect();
            TApplication::ProcessMessages();
            ActivePort->Close();
            SetPowerTag(0);
        } else {
            connecting_ = true;
            const auto connected = qScopeGuard([this] { connecting_ = false; });
            failure = Connect();
        }
    } catch (const std::exception& e) {
        SetPowerTag(0);
        // A link that is still open failed by itself (the user's Power off or close closes it
        // first): it is taken down, so that the user can connect again, and the line says why.
        if (ActivePort->GetState() > 0)
            failure = TakeDownFailedLink(e);
    } catch (...) {
        SetPowerTag(0);
    }
    SetScreenCursor(TCursor::crDefault);
    Animate1->hide();
    Animate1->SetActive(false);
    if (!failure.isEmpty())
        MainGB->setText(failure);
}

void TMainFrm::closeLink()
{
    ActivePort->Close();
    SurveyControlsOff();
    RestoreConnectControls();
    SetLinkLamps(false);
    SetPowerTag(0);
}

QString TMainFrm::TakeDownFailedLink(const std::exception& e)
{
    // Asked before the close, which forgets the device.
    const QString gone = ActivePort->DeviceGone();
    closeLink();
    return ConnectionFailedText(QString::fromStdString(e.what()), gone);
}

void TMainFrm::WatchLinkDevice()
{
    // Only a link resting between exchanges: the connection, the survey's cycles and the way
    // down say a loss of their own.
    if (!ActivePort || ActivePort->GetState() <= 0 || PowerTag() != 1 || surveyCycling_ || takingDown_)
        return;
    const QString gone = ActivePort->DeviceGone();
    if (gone.isEmpty())
        return;
    // Nothing can pass any more: the wait for Start ends, and Power On finds the device again
    // once it is back. A Tx voltage check waiting on the link (its prompt wait ends only with
    // the link) ends with it and names the device, which the close forgets.
    StopRequested = 1;
    if (TxCheckRunning)
        txCheckLostDevice_ = gone;
    const bool showsSurvey = !keptSurveyLine_.isEmpty() && MainGB->text() == keptSurveyLine_;
    closeLink();
    // What the last survey said of its cycles and files stays, after why the link came down.
    if (showsSurvey)
        keepSurveyLineAfter(LinkLostText(gone));
    else
        MainGB->setText(LinkLostText(gone));
}

void TMainFrm::TakeDownSilentLink()
{
    closeLink();
    MainGB->setText(NoAnswerText);
}

QString TMainFrm::Connect()
{
    SetPowerTag(0);
    TApplication::ProcessMessages();
    if (!PowerOnOffBtn->isChecked())
        PowerOnOffBtn->setChecked(true);
    ConnectGb->hide();
    NewSurveyBtn->hide();

    const QString dialNumber = SetupIni->ReadString("Communication", "DialNumber", "");
    const QString modemConfig = SetupIni->ReadString("Communication", "ModemConfig", "");
    const int delay = SetupIni->ReadInteger("Communication", "Delay", 0);
    const int speed = SetupIni->ReadInteger("Communication", "Speed", 9600);
    const int port = SetupIni->ReadInteger("Communication", "Port", 1);
    if (ActivePort->Open(port, speed, delay, modemConfig, false, dialNumber) == 0) {
        TApplication::ProcessMessages();
        RestoreConnectControls();
        SetPowerTag(0);
        if (SetupIni->ReadInteger("Communication", "Port", 1) == 99)
            Shell().StartDetached(TApplication::ExeDir() + "LinkTest", {});
        return ActivePort->OpenFailure; // empty when the user cancelled or gave the opening up
    }
    ActivePort->PutCom(0);
    Animate1->show();
    Animate1->SetActive(true);
    SetLinkLamps(true);

    QString name = IdentificationFiller, speedText = IdentificationFiller;
    ActivePort->Identify(name, speedText);
    for (int attempt = 1; name == IdentificationFiller; ++attempt) {
        if (attempt == 4) {
            TApplication::ProcessMessages();
            ActivePort->SetState(0);
            RestoreConnectControls();
            SetLinkLamps(false);
            return NoAnswerText;
        }
        if (ActivePort->SetCmd(CmdEscape, 500))
            ActivePort->Identify(name, speedText);
    }

    uint8_t code[4] = {};
    ActivePort->GetBlock(code, 4);
    const uint32_t capability = ReadLe32(code);
    EnableControls(RangePanel, false);
    if (capability == CapabilityNoIp) {
        IpDataUsable = false;
        IpDataChk->setChecked(false);
        IpDataChk->setEnabled(false);
    } else if (capability == CapabilityIp) {
        IpDataUsable = true;
        IpDataChk->setEnabled(true);
    } else if (capability == CapabilityRange) {
        EnableControls(RangePanel, true);
    }

    MainGB->setText(QString("Connected to %1 at %2 Bds").arg(name, speedText));
    const bool modelTag = name.contains("Halvo", Qt::CaseSensitive);
    TxVoltage->setVisible(!modelTag);
    TxVoltageEdt->setVisible(!modelTag);
    TxVoltageCheckBtn->setVisible(!modelTag);
    if (!modelTag)
        TxVoltageCheckBtn->setEnabled(true);
    ModelTagFound = modelTag ? 1 : 0;

    ActivePort->PromptSetCmd(CmdStatus, 300000);
    if (ActivePort->LoadBuffer(InstrumentStatus.data(), static_cast<int>(InstrumentStatus.size())) < 0) {
        // The status never came: no survey can start on this line.
        closeLink();
        return NoAnswerText;
    }
    ActivePort->WaitPrompt();
    Animate1->hide();
    Animate1->SetActive(false);
    SetPowerTag(1);
    BitBtn1Click(this);
    return {};
}

void TMainFrm::Disconnect()
{
    StopRequested = 1;
    SetLinkLamps(false);
    bool answered = true;
    QString failure;
    if (ActivePort && !PowerOnOffBtn->isChecked() && ActivePort->GetState() > 0 && PowerTag() == 1) {
        try {
            answered = SendEscape();
        } catch (const std::exception& e) {
            // A line that went away (cable pulled, instrument off) refuses Escape: the link is
            // taken down all the same, so that the user can connect again, and that is said.
            if (ActivePort->GetState() > 0)
                failure = ConnectionFailedText(QString::fromStdString(e.what()), {});
        }
        const QString gone = ActivePort->DeviceGone();
        if (!gone.isEmpty())
            failure = LinkLostText(gone);
    } else {
        TxVoltageCheckBtn->setEnabled(false);
    }
    // An instrument gone silent on a line still open (flat battery, radio link lost) is said,
    // so that the user knows why the link came down without its Escape.
    MainGB->setText(!failure.isEmpty() ? failure : answered ? QString() : QString(NoAnswerText));
    if (ActivePort)
        ActivePort->Close();
    SurveyControlsOff();
    ConnectGb->show();
    NewSurveyBtn->hide();
    SetScreenCursor(TCursor::crDefault);
}

} // namespace Acquisition
