// Shows the open setup file in the main window: the survey parameters go into their fields and
// edit boxes, and the controls that depend on them are shown or hidden.
#include "Main.h"

#include "acquisition/setup/SetupFile.h"
#include "graph/Pesgvcl.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/NumberFormat.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <cmath>

namespace Acquisition {

// Every key gives a usable value (a value that does not convert or does not fit gives its
// default), so a damaged file still fills the whole window.
void TMainFrm::ShowValue()
{
    if (!SetupIni)
        return;
    const TIniFile& ini = *SetupIni;
    const QString P = Setup::Parameters;

    // 1-2. Parameter groups usable, warnings off, graphs hidden until a survey starts.
    EnableControls(StartConfigGB, true);
    EnableControls(VarnokParametersGB, true);
    ShowVp->setEnabled(true);
    ShowRho->setEnabled(true);
    SounderDisconnectLbl->hide();
    GpsDisconnectLbl->hide();
    PSeudoGB->show();
    PESGraph1->hide();
    PESGraph2->hide();
    VarnokParametersGB->setEnabled(true);

    // 3. Value displays back to zero; the current keeps the last reading.
    DistanceLblx->setText(FormatFloat("#.00", 0));
    NewRefLblx->setText(FormatFloat("#.00", 0));
    const double current = std::fabs(double(Workspace[10]) - double(Workspace[21])) / 2;
    InLblx->setText(FormatFloat(ModelTagFound ? "0" : "#.00", current));
    for (TStaticText* v : VLblx)
        v->setText(FormatFloat("#.00", 0));

    // 4. Survey parameters.
    RemoteTxVoltage = Setup::ReadFloat32(ini, P, "RemoteTxVoltage", 12);
    RemoteTime = Setup::ReadUInt16(ini, P, "RemoteTime", 25);
    RemoteDelay = Setup::ReadUInt16(ini, P, "RemoteDelay", 12);
    ChannelCount = ini.ReadInteger(P, "Channel", 10);
    DelayTime = ini.ReadInteger(P, "DelayTime", 0);
    AddDistanceChk->setChecked(ini.ReadInteger(P, "AddDistance", 1) != 0);
    GpsConnectedCB->setChecked(ini.ReadInteger(P, "GpsConnected", 1) != 0);
    SounderCB->setChecked(ini.ReadInteger(P, "SounderConnected", 1) != 0);
    IpDataChk->setChecked(ini.ReadInteger(P, "IpData", 0) != 0);

    // 5. The range choice is read only while the instrument offers it (the label's own state).
    if (!RangeLbl->testAttribute(Qt::WA_ForceDisabled)) {
        if (ini.ReadInteger(P, "Range15", 1) == 1)
            Range15Rb->setChecked(true);
        else
            Range5Rb->setChecked(true);
    } else {
        Range15Rb->setChecked(true);
    }

    // 6-7. Electrode positions, switch unit, depth offset and minimum distance.
    for (const Setup::PositionKey& key : Setup::PositionKeys())
        Workspace[key.WorkspaceIndex] = Setup::ReadFloat32(ini, P, key.Name, key.Default);
    SwitchEnabled = Setup::ReadInt16(ini, Setup::Relaybox, "RelyaboxEnabled", 0);
    DepthOffset = Setup::ReadFloat32(ini, P, "DepthOffset", 0);
    MinDistance = Setup::ReadFloat32(ini, P, "MinDistance", 1);
    MinDistanceLbl->setText(FormatFloat("Min : #0.00 m", MinDistance));

    // 8. Edit boxes of the parameters (the x positions follow with step 10).
    ShowBoxText(TimeEdt, QString::number(10 * int(RemoteTime)));
    ShowBoxText(TxVoltageEdt, FormatFloat("##0", RemoteTxVoltage));
    ShowBoxText(ChannelEdt, QString::number(ChannelCount));

    // 9. More than 10 channels always use the switch unit and the second cable set; red marks
    // the switch unit in use with 10 channels or fewer.
    if (ChannelCount > 10)
        SwitchEnabled = 1;
    ShowSwitchUnit(ChannelCount);
    SwitchRB->setChecked(SwitchEnabled != 0);

    // 10. x positions (those of cable set 1 belong to step 8; nothing between shows them).
    ShowPositionBoxes(CaEdt, CbEdt, PEdt, 124, 160);

    // 11. The cable views draw a straight line only: no button when cable set 1 leaves it.
    float across = 0;
    for (int i = 144; i <= 156; ++i)
        across += std::fabs(Workspace[i]);
    ViewCableBtn->setVisible(!(double(across) > 0.01));

    // 12. y positions.
    ShowPositionBoxes(YCaEdt, YCbEdt, YPEdt, 144, 180);

    // 13-15.
    StartConfigGB->show();
    TApplication::ProcessMessages();
    StopBtn->setEnabled(false);
    NewGpsBtn->setEnabled(false);
    TxVoltageCheckBtn->setEnabled(false);
    PauseBtn->setEnabled(false);
    ShowPortImage(false);

    // 16-17.
    GroupBox3->setTitle(DelayTime < 2 ? QString("Data :") : QString("Data (off time %1s) :").arg(DelayTime));
    ScrollBox1->verticalScrollBar()->setValue(ScrollBox2->verticalScrollBar()->value());
}

void TMainFrm::ShowPositionBoxes(QLineEdit* a, QLineEdit* b, const std::array<QLineEdit*, 21>& p, int first, int second)
{
    ShowBoxText(a, FormatFloat("#0.00", Workspace[static_cast<size_t>(first)]));
    ShowBoxText(b, FormatFloat("#0.00", Workspace[static_cast<size_t>(first) + 1]));
    for (size_t i = 0; i < 11; ++i)
        ShowBoxText(p[i], FormatFloat("#0.00", Workspace[static_cast<size_t>(first) + 2 + i]));
    for (size_t i = 11; i < 21; ++i)
        ShowBoxText(p[i], FormatFloat("#0.00", Workspace[static_cast<size_t>(second) + i - 11]));
}

} // namespace Acquisition
