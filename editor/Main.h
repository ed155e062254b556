#pragma once
#include "platform/Controls.h"
#include "platform/IniFile.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTableWidget;
class QToolButton;

namespace Editor {

inline constexpr const char* Title = "Create Quorel setup file";
inline constexpr const char* DesignCaption = "Create Quorel setup file  ";

// "V%02d.%02d" of the program's version, as the window's caption shows it.
QString VersionText(int major, int minor);

// QuorelIni's main window: loads one setup file into its controls, edits it and saves it to
// the same file or to a new one.
class TMainFrm : public QWidget {
    Q_OBJECT
public:
    explicit TMainFrm(QWidget* owner = nullptr);
    ~TMainFrm() override;

    // --- state, in the order the window keeps it
    std::unique_ptr<TIniFile> SetupIni;
    float RemoteTxVoltage = 0;
    uint16_t RemoteTime = 0;
    std::array<float, 13> CableX{};
    std::array<float, 13> CableY{};
    std::array<float, 13> Cable2X{};
    std::array<float, 13> Cable2Y{};
    std::array<int32_t, 13> SwitchTable1{};
    std::array<int32_t, 13> SwitchTable2{};
    int32_t SwitchEnabled = 0;
    int32_t ChannelCount = 0;
    float DepthOffset = 0;
    float MinDistance = 0;
    int32_t DelayTime = 0;
    QString SetupFileName;
    int32_t CommPort = 1;

    // --- controls: file strip
    QGroupBox* ConnectGb = nullptr;
    QLabel* Label1 = nullptr;
    TStaticText* ConfigurationFileTxt = nullptr;
    QToolButton* OpenConfigurationFileBtn = nullptr;
    // instrument parameters
    QGroupBox* VarnokParametersGB = nullptr;
    QLabel* ChannelLbl = nullptr;
    QLineEdit* ChannelEdt = nullptr;
    QLabel* TimeLbl = nullptr;
    QLineEdit* TimeEdt = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* DelayTimeEdt = nullptr;
    QLabel* TxVoltage = nullptr;
    QLineEdit* TxVoltageEdt = nullptr;
    QFrame* RangePanel = nullptr;
    QLabel* Label17 = nullptr;
    QRadioButton* Range15Rb = nullptr;
    QRadioButton* Range5Rb = nullptr;
    QCheckBox* IpDataChk = nullptr;
    QToolButton* ViewCableBtn = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* CaLbl = nullptr;
    QLineEdit* CaEdt = nullptr;
    QLineEdit* YCaEdt = nullptr;
    QLabel* CbLbl = nullptr;
    QLineEdit* CbEdt = nullptr;
    QLineEdit* YCbEdt = nullptr;
    QScrollArea* ScrollBox2 = nullptr;
    QFrame* PanelP11_22 = nullptr;
    std::array<QLabel*, 21> PLbl{};     // P1Lbl..P11Lbl, then Label30..Label39 (P12..P21)
    std::array<QLineEdit*, 21> PEdt{};  // P1Edt..P21Edt
    std::array<QLineEdit*, 21> YPEdt{}; // YP1Edt..YP21Edt
    // GPS / sounder
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* GpsConnectedCB = nullptr;
    QCheckBox* SounderCB = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* DepthOffEdt = nullptr;
    QCheckBox* AddDistanceChk = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* MinDistanceEdt = nullptr;
    // communication
    QGroupBox* CommunicationGb = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* NodePortCB = nullptr;
    QLabel* PortNodeLbl = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* SpeedCb = nullptr;
    // buttons
    QPushButton* BitBtn1 = nullptr; // Save as...
    QPushButton* SaveBtn = nullptr;
    QPushButton* BitBtn3 = nullptr; // Quit
    TImage* ProgramIcon = nullptr;
    // switch unit
    QGroupBox* GroupBox1 = nullptr;
    QFrame* Panel1 = nullptr;
    QRadioButton* RelayboxUsedCB = nullptr;
    QTableWidget* StringGrid1 = nullptr;

    // --- loading and saving
    void LoadSetupFile(const QString& path);
    void SaveSetupFile(const QString& target);

    // --- handlers
    void FormShow(QObject* sender);
    void FormCloseQuery(QObject* sender, bool& canClose);
    void OpenConfigurationFileBtnClick(QObject* sender);
    void BitBtn1Click(QObject* sender);
    void SaveBtnClick(QObject* sender);
    void BitBtn3Click(QObject* sender);
    void NodePortCBChange(QObject* sender);
    void ChannelEdtExit(QObject* sender);
    void RelayboxUsedCClick(QObject* sender);
    void ViewCableBtnClick(QObject* sender);

    // A grid cell's text (column, row), as the grid shows it.
    QString Cell(int col, int row) const;

    // True from the first showing with a command-line argument: "Save" then ends the program.
    bool CommandLineMode() const { return commandLineMode_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void ShowFileName(const QString& path);
    void SetCell(int col, int row, const QString& text);
    bool shown_ = false;
    bool commandLineMode_ = false;
};

} // namespace Editor

extern Editor::TMainFrm* MainFrm;
