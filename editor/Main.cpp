#include "Main.h"

#include "MainLayout.h"
#include "acquisition/setup/SetupFile.h"
#include "platform/Application.h"
#include "platform/CommandLine.h"
#include "platform/Dialogs.h"
#include "platform/Dispatch.h"
#include "platform/FileReplace.h"
#include "platform/MinimizeName.h"
#include "platform/NumberFormat.h"
#include "platform/VersionInfo.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>

Editor::TMainFrm* MainFrm = nullptr;

namespace Editor {

namespace {

const QString P = Setup::Parameters;
const QString R = Setup::Relaybox;
const QString Com = Setup::Communication;

// The switch-unit keys of one table: A, B, P1..P11.
QString switchKey(int table, int c)
{
    return QString::number(table) + (c == 0 ? "CA" : c == 1 ? "CB" : "P" + QString::number(c - 1));
}

int32_t switchDefault(int table, int c) { return c < 2 ? 0 : table == 1 ? c - 1 : c + 9; }

int32_t wholeNumber(const QString& text, int32_t def) { return StrToIntDef(text, def); }

QString coordinate(float v) { return FormatFloat("#0.00", v); }

} // namespace

QString VersionText(int major, int minor) { return QString::asprintf("V%02d.%02d", major, minor); }

TMainFrm::TMainFrm(QWidget* owner) : QWidget(owner)
{
    MainFrm = this;
    BuildLayout();

    SetupFileName.clear();
    TimeEdt->setText("250");
    DelayTimeEdt->setText("0");
    TxVoltageEdt->setText("12");
    ChannelEdt->setText("10");
    for (QLineEdit* e : {CaEdt, CbEdt, YCaEdt, YCbEdt})
        e->setText("0");
    for (int i = 0; i < 21; ++i) {
        PEdt[i]->setText("0");
        YPEdt[i]->setText("0");
    }
    DepthOffEdt->setText("0");
    MinDistanceEdt->setText(FloatToStr(1));

    NodePortCB->setCurrentIndex(0);
    SpeedCb->setCurrentIndex(0);
    CommPort = 1;

    setWindowTitle(DesignCaption + VersionText(QUOREL_VERSION_MAJOR, QUOREL_VERSION_MINOR));

    RelayboxUsedCB->setChecked(false);
    StringGrid1->hide();
    SetCell(0, 0, "A");
    SetCell(1, 0, "B");
    for (int c = 2; c < 13; ++c)
        SetCell(c, 0, QString::number(c - 1));
    for (int c = 0; c < 13; ++c) {
        SwitchTable1[c] = switchDefault(1, c);
        SwitchTable2[c] = switchDefault(2, c);
    }
}

TMainFrm::~TMainFrm()
{
    if (MainFrm == this)
        MainFrm = nullptr;
}

QString TMainFrm::Cell(int col, int row) const
{
    const QTableWidgetItem* item = StringGrid1->item(row, col);
    return item ? item->text() : QString();
}

void TMainFrm::SetCell(int col, int row, const QString& text)
{
    if (QTableWidgetItem* item = StringGrid1->item(row, col))
        item->setText(text);
}

void TMainFrm::ShowFileName(const QString& path)
{
    ConfigurationFileTxt->setText(MinimizeName(path, ConfigurationFileTxt->fontMetrics(), ConfigurationFileTxt->width() - 4));
}

void TMainFrm::LoadSetupFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    SetupFileName = path;
    ShowFileName(path);
    SetupIni = std::make_unique<TIniFile>(path);
    const TIniFile& ini = *SetupIni;

    RemoteTxVoltage = Setup::ReadFloat32(ini, P, "RemoteTxVoltage", 12);
    RemoteTime = Setup::ReadUInt16(ini, P, "RemoteTime", 25);
    DelayTime = ini.ReadInteger(P, "DelayTime", 0);
    ChannelCount = ini.ReadInteger(P, "Channel", 10);
    AddDistanceChk->setChecked(ini.ReadInteger(P, "AddDistance", 1) != 0);
    GpsConnectedCB->setChecked(ini.ReadInteger(P, "GpsConnected", 1) != 0);
    SounderCB->setChecked(ini.ReadInteger(P, "SounderConnected", 1) != 0);
    IpDataChk->setChecked(ini.ReadInteger(P, "IpData", 0) != 0);
    if (ini.ReadInteger(P, "Range15", 1) == 1)
        Range15Rb->setChecked(true);
    else
        Range5Rb->setChecked(true);
    const auto& keys = Setup::PositionKeys();
    for (int e = 0; e < 13; ++e) {
        CableX[e] = Setup::ReadFloat32(ini, P, keys[e].Name, keys[e].Default);
        CableY[e] = Setup::ReadFloat32(ini, P, keys[13 + e].Name, keys[13 + e].Default);
        Cable2X[e] = Setup::ReadFloat32(ini, P, keys[26 + e].Name, keys[26 + e].Default);
        Cable2Y[e] = Setup::ReadFloat32(ini, P, keys[39 + e].Name, keys[39 + e].Default);
    }
    DepthOffset = Setup::ReadFloat32(ini, P, "DepthOffset", 0);
    MinDistance = Setup::ReadFloat32(ini, P, "MinDistance", 1);

    SwitchEnabled = ChannelCount > 10 ? ini.ReadInteger(R, "RelyaboxEnabled", 0) : 0;
    for (int c = 0; c < 13; ++c) {
        SwitchTable1[c] = ini.ReadInteger(R, switchKey(1, c), switchDefault(1, c));
        SwitchTable2[c] = ini.ReadInteger(R, switchKey(2, c), switchDefault(2, c));
    }
    for (int c = 0; c < 13; ++c) {
        SetCell(c, 1, QString::number(SwitchTable1[c]));
        SetCell(c, 2, QString::number(SwitchTable2[c]));
    }
    RelayboxUsedCB->setChecked(SwitchEnabled != 0); // a change runs the refresh
    StringGrid1->setVisible(RelayboxUsedCB->isChecked());

    ShowBoxText(TimeEdt, QString::number(RemoteTime * 10));
    ShowBoxText(DelayTimeEdt, QString::number(DelayTime));
    ShowBoxText(TxVoltageEdt, FormatFloat("##0", RemoteTxVoltage));
    ShowBoxText(ChannelEdt, QString::number(ChannelCount));
    ShowBoxText(CaEdt, coordinate(CableX[0]));
    ShowBoxText(CbEdt, coordinate(CableX[1]));
    ShowBoxText(YCaEdt, coordinate(CableY[0]));
    ShowBoxText(YCbEdt, coordinate(CableY[1]));
    for (int i = 0; i < 11; ++i) {
        ShowBoxText(PEdt[i], coordinate(CableX[2 + i]));
        ShowBoxText(YPEdt[i], coordinate(CableY[2 + i]));
    }
    for (int i = 11; i < 21; ++i) {
        ShowBoxText(PEdt[i], coordinate(Cable2X[i - 8]));
        ShowBoxText(YPEdt[i], coordinate(Cable2Y[i - 8]));
    }
    ShowBoxText(DepthOffEdt, coordinate(DepthOffset));
    ShowBoxText(MinDistanceEdt, coordinate(MinDistance));

    CommPort = ini.ReadInteger(Com, "Port", 1);
    PortNodeLbl->clear();
    if (CommPort >= 1 && CommPort <= 4)
        NodePortCB->setCurrentIndex(CommPort - 1);
    else if (CommPort == 99)
        NodePortCB->setCurrentIndex(4);
    else {
        NodePortCB->setCurrentIndex(5);
        PortNodeLbl->setText(QString::number(CommPort));
    }
    SpeedCb->setCurrentIndex(SpeedCb->findText(QString::number(ini.ReadInteger(Com, "Speed", 9600)), Qt::MatchExactly));

    SaveBtn->setEnabled(true);
}

void TMainFrm::SaveSetupFile(const QString& target)
{
    // Every conversion first: a text that is no number stops the save before anything is
    // written, and the window goes on showing the current file.
    std::array<float, 13> x{}, y{}, x2{}, y2{};
    std::array<QLineEdit*, 13> xEdits{CaEdt, CbEdt}, yEdits{YCaEdt, YCbEdt};
    for (int i = 0; i < 11; ++i) {
        xEdits[2 + i] = PEdt[i];
        yEdits[2 + i] = YPEdt[i];
    }
    for (int e = 0; e < 13; ++e)
        x[e] = Setup::StrToFloat32(xEdits[e]->text());
    for (int e = 0; e < 13; ++e)
        y[e] = Setup::StrToFloat32(yEdits[e]->text());
    // The second cable set shares A, B and its first potential electrode (P11) with the first.
    x2[0] = Setup::StrToFloat32(CaEdt->text());
    x2[1] = Setup::StrToFloat32(CbEdt->text());
    x2[2] = Setup::StrToFloat32(PEdt[10]->text());
    for (int i = 11; i < 21; ++i)
        x2[i - 8] = Setup::StrToFloat32(PEdt[i]->text());
    y2[0] = Setup::StrToFloat32(YCaEdt->text());
    y2[1] = Setup::StrToFloat32(YCbEdt->text());
    y2[2] = Setup::StrToFloat32(YPEdt[10]->text());
    for (int i = 11; i < 21; ++i)
        y2[i - 8] = Setup::StrToFloat32(YPEdt[i]->text());
    const float depthOffset = Setup::StrToFloat32(DepthOffEdt->text());
    const float minDistance = Setup::StrToFloat32(MinDistanceEdt->text());
    const float txVoltage = Setup::StrToFloat32(TxVoltageEdt->text());
    CableX = x;
    CableY = y;
    Cable2X = x2;
    Cable2Y = y2;
    DepthOffset = depthOffset;
    MinDistance = minDistance;
    RemoteTxVoltage = txVoltage;

    RemoteTime = static_cast<uint16_t>(wholeNumber(TimeEdt->text(), 250) / 10);
    ChannelCount = wholeNumber(ChannelEdt->text(), 10);
    SwitchEnabled = ChannelCount > 10 ? 1 : 0;
    DelayTime = wholeNumber(DelayTimeEdt->text(), 0);
    const int32_t speed = SpeedCb->currentIndex() < 0 ? 9600 : wholeNumber(SpeedCb->currentText(), 9600);

    // The save is one rewrite of the target: the keys go into a working copy of it, which
    // then replaces the target at once. A target that exists but cannot be read is never
    // replaced, and a failed save leaves it as it was.
    const QString writeError = QString("Impossible d'écrire dans %1").arg(target);
    QByteArray original;
    if (QFileInfo::exists(target)) {
        QFile in(target);
        // A write-protected file stays as it is, although a rename could replace it.
        if (!QFileInfo(target).isFile() || !QFileInfo(target).isWritable() || !in.open(QIODevice::ReadOnly))
            throw EIniFileException(writeError);
        original = in.readAll();
        if (in.error() != QFileDevice::NoError)
            throw EIniFileException(writeError);
    }
    QTemporaryDir work;
    const QString copy = work.path() + "/setup.ini";
    {
        QFile out(copy);
        if (!work.isValid() || !out.open(QIODevice::WriteOnly) || out.write(original) != original.size())
            throw EIniFileException(writeError);
    }
    try {
        TIniFile ini(copy);
        ini.WriteInteger(R, "RelyaboxEnabled", SwitchEnabled);
        ini.WriteFloat(P, "DepthOffset", DepthOffset);
        ini.WriteFloat(P, "MinDistance", MinDistance);
        ini.WriteFloat(P, "RemoteTxVoltage", RemoteTxVoltage);
        ini.WriteInteger(P, "RemoteTime", RemoteTime);
        ini.WriteInteger(P, "DelayTime", DelayTime);
        ini.WriteInteger(P, "AddDistance", AddDistanceChk->isChecked() ? 1 : 0);
        ini.WriteInteger(P, "GpsConnected", GpsConnectedCB->isChecked() ? 1 : 0);
        ini.WriteInteger(P, "SounderConnected", SounderCB->isChecked() ? 1 : 0);
        ini.WriteInteger(P, "Channel", ChannelCount);
        ini.WriteInteger(P, "IpData", IpDataChk->isChecked() ? 1 : 0);
        ini.WriteInteger(P, "Range15", Range15Rb->isChecked() ? 1 : 0);
        const auto& keys = Setup::PositionKeys();
        for (int e = 0; e < 13; ++e)
            ini.WriteFloat(P, keys[e].Name, CableX[e]);
        for (int e = 0; e < 13; ++e)
            ini.WriteFloat(P, keys[13 + e].Name, CableY[e]);
        for (int e = 0; e < 13; ++e)
            ini.WriteFloat(P, keys[26 + e].Name, Cable2X[e]);
        for (int e = 0; e < 13; ++e)
            ini.WriteFloat(P, keys[39 + e].Name, Cable2Y[e]);
        ini.WriteInteger(Com, "Speed", speed);
        ini.WriteInteger(Com, "Port", CommPort);
    } catch (const EIniFileException&) {
        throw EIniFileException(writeError);
    }
    QFile result(copy);
    if (!result.open(QIODevice::ReadOnly))
        throw EIniFileException(writeError);
    const QByteArray bytes = result.readAll();
    if (!ReplaceFileContent(target, bytes))
        throw EIniFileException(writeError);

    // Only now is the target the current file: the reload shows it in the file box and in
    // every control.
    LoadSetupFile(target);
}

void TMainFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        Dispatch([this] { FormShow(this); });
    }
}

void TMainFrm::FormShow(QObject*)
{
    if (ParamCount() < 1)
        return;
    commandLineMode_ = true;
    const QString file = ParamStr(1);
    if (!file.isEmpty())
        BitBtn1->hide();
    LoadSetupFile(file);
}

void TMainFrm::closeEvent(QCloseEvent* event) { DispatchCloseQuery(this, event); }

void TMainFrm::FormCloseQuery(QObject*, bool& canClose)
{
    SetupIni.reset();
    canClose = true;
}

namespace {

TFileDialogRequest setupFileRequest()
{
    TFileDialogRequest r;
    r.Filter = "Setup file (*.ini)|*.ini";
    r.DefaultExt = "ini";
    r.InitialDir = TApplication::ExeDir();
    return r;
}

} // namespace

void TMainFrm::OpenConfigurationFileBtnClick(QObject*)
{
    TFileDialogRequest r = setupFileRequest();
    const bool chosen = Dialogs().OpenFile(r);
    BitBtn1->show();
    if (chosen)
        LoadSetupFile(WithDefaultExt(r.FileName, r.DefaultExt));
}

void TMainFrm::BitBtn1Click(QObject*)
{
    TFileDialogRequest r = setupFileRequest();
    if (Dialogs().SaveFile(r))
        SaveSetupFile(WithDefaultExt(r.FileName, r.DefaultExt));
}

void TMainFrm::SaveBtnClick(QObject*)
{
    SaveSetupFile(SetupFileName);
    if (commandLineMode_)
        close();
}

void TMainFrm::BitBtn3Click(QObject*) { close(); }

void TMainFrm::NodePortCBChange(QObject*)
{
    PortNodeLbl->clear();
    const QString item = NodePortCB->currentText();
    if (item.startsWith("Com ")) {
        CommPort = item.mid(4).toInt();
    } else if (item == "USB") {
        CommPort = 99;
    } else if (item == "BT") {
        // Asked again until the text is a port number from 1 to 98; Cancel keeps the text.
        QString text = QString::number(CommPort);
        int32_t port = 0;
        for (;;) {
            QString value = text;
            if (Dialogs().InputQuery("Enter bluetooth outgoing port number", "value (1..98) :", value))
                text = value;
            if (TryStrToInt(text, port) && port >= 1 && port <= 98)
                break;
        }
        PortNodeLbl->setText(text);
        CommPort = port;
    }
}

void TMainFrm::ChannelEdtExit(QObject*)
{
    RelayboxUsedCB->setChecked(wholeNumber(ChannelEdt->text(), 10) > 10);
}

void TMainFrm::RelayboxUsedCClick(QObject*)
{
    SwitchEnabled = RelayboxUsedCB->isChecked() ? 1 : 0;
    for (int c = 0; c < 13; ++c) {
        SetCell(c, 1, QString::number(SwitchTable1[c]));
        SetCell(c, 2, QString::number(SwitchTable2[c]));
    }
    StringGrid1->setVisible(SwitchEnabled == 1);
}

void TMainFrm::ViewCableBtnClick(QObject*)
{
    std::array<float, 23> positions{};
    positions[0] = Setup::StrToFloat32(CaEdt->text());
    positions[1] = Setup::StrToFloat32(CbEdt->text());
    for (int i = 0; i < 11; ++i)
        positions[2 + i] = Setup::StrToFloat32(PEdt[i]->text());
    const int32_t channels = wholeNumber(ChannelEdt->text(), 10);
    Schema::TCableForm* view = nullptr;
    if (channels > 10) {
        for (int i = 11; i < 21; ++i)
            positions[2 + i] = Setup::StrToFloat32(PEdt[i]->text());
        if (!Schema20Frm)
            return;
        Schema20Frm->ShowConnections(this, positions, ConfigurationFileTxt->text());
        view = Schema20Frm;
    } else {
        if (!SchemaFrm)
            return;
        std::array<float, 13> first{};
        std::copy_n(positions.begin(), 13, first.begin());
        SchemaFrm->ShowConnections(this, first, ConfigurationFileTxt->text(), channels);
        view = SchemaFrm;
    }
    view->ShowInFront();
}

} // namespace Editor
