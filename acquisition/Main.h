#pragma once
#include "acquisition/AcquisitionFiles.h"
#include "acquisition/SurveyTrack.h"
#include "link/Varnokpro.h"
#include "platform/Controls.h"
#include "platform/IniFile.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <exception>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QToolButton;
class PESGraph;
class TPortVirt;

namespace Acquisition {

inline constexpr const char* RegistryKey = "\\SOFTWARE\\Orvo Vivurererod";
inline constexpr const char* RegistrySubKey = "\\Initialisation\\Quorel";
inline constexpr const char* RegistryValue = "IniFile";
inline constexpr unsigned WM_DEVICECHANGE = 0x0219;
inline constexpr int WorkspaceSize = 310;
inline constexpr int InstrumentStatusSize = 180;

// The path without its extension (the part of the file name from its last "." on).
QString WithoutExtension(const QString& path);
// The pulse time typed in ms as the instrument takes it, in units of 10 ms within 15 to 800;
// a text that is not an integer keeps `current`.
uint16_t PulseTimeUnits(const QString& text, uint16_t current);
// Reads one reading block of `values` floats whole from the link, so that the link stays in step
// whatever channel count the instrument reported, into the places the workspace map gives, as a
// survey cycle reads it.
void ReadReadingBlock(TPortVirt& port, std::array<float, WorkspaceSize>& workspace, uint64_t values,
                      int first, int currentAt);

class CycleReader;

// Quorel's main window: owns the open setup file, the instrument status, the dipole records
// and the link port; every survey runs inside its handlers.
class TMainFrm : public QWidget {
    Q_OBJECT
public:
    explicit TMainFrm(QWidget* owner = nullptr);
    ~TMainFrm() override;

    // --- state, in the order the window keeps it
    int32_t CommPort = 1;
    QString SetupFileName;
    int32_t NewRefRequested = 0;
    float SounderDepth = 0;
    float DepthOffset = 0;
    int32_t PendingMark = 0;
    int32_t MarkCounter = 0;
    std::unique_ptr<TIniFile> SetupIni;
    std::array<uint8_t, InstrumentStatusSize> InstrumentStatus{};
    int32_t StopRequested = 0;
    float RemoteTxVoltage = 0;
    uint16_t RemoteTime = 0;
    uint16_t RemoteDelay = 0;
    int16_t SwitchEnabled = 0;
    std::array<float, WorkspaceSize> Workspace{};
    std::array<char, 256> SentenceBuffer{};
    int32_t AcquisitionMode = 0;
    QString AcquisitionFileName;
    QString AcquisitionBaseName;
    QString SetupEditorDir;
    DipoleRecordArray DipoleRecords{};
    int32_t ChannelCount = 0;
    BinHeaderTextArray BinHeaderText{};
    int32_t SimulationMode = 0;
    int32_t DelayTime = 0;
    float ScaleMin = 0, ScaleMax = 0;
    int32_t AutoScale = 1;
    float MinDistance = 0;
    int32_t ModelTagFound = 0;
    // The instrument's capability code allows IP data; set at connection, and every survey's
    // preparation enables "IP Data" from it (the end of a survey disables the whole group).
    bool IpDataUsable = true;
    int32_t DisplayRho = 0;
    QString HelpFile;
    bool TxCheckRunning = false; // the transmitter voltage check is under way

    // --- window layout: groups
    QGroupBox* SelectGB = nullptr;
    QGroupBox* StartConfigGB = nullptr;
    QGroupBox* PSeudoGB = nullptr;
    // top bar
    QToolButton* PowerOnOffBtn = nullptr;
    QGroupBox* ConnectGb = nullptr;
    QLabel* Label1 = nullptr;
    TStaticText* ConfigurationFileTxt = nullptr;
    QToolButton* OpenConfigurationFileBtn = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QPushButton* NewSurveyBtn = nullptr;
    TImage* Image2 = nullptr;
    TImage* RsOffImg = nullptr;
    TImage* RsOnImg = nullptr;
    TAnimate* Animate1 = nullptr;
    QLabel* MainGB = nullptr;
    QLabel* FilenameLbl = nullptr;
    QLabel* FilenameEdt = nullptr;
    QPushButton* SimulationBtn = nullptr;
    TStaticText* SimulationLbl = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    // instrument parameters
    QGroupBox* VarnokParametersGB = nullptr;
    QLabel* TimeLbl = nullptr;
    QLineEdit* TimeEdt = nullptr;
    QLabel* TxVoltage = nullptr;
    QLineEdit* TxVoltageEdt = nullptr;
    QCheckBox* AddDistanceChk = nullptr;
    QPushButton* TxVoltageCheckBtn = nullptr;
    QFrame* RangePanel = nullptr;
    QRadioButton* Range15Rb = nullptr;
    QLabel* RangeLbl = nullptr;
    QRadioButton* Range5Rb = nullptr;
    QCheckBox* IpDataChk = nullptr;
    QLabel* ChannelLbl = nullptr;
    QLineEdit* ChannelEdt = nullptr;
    QRadioButton* SwitchRB = nullptr;
    QToolButton* ViewCableBtn = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* CaLbl = nullptr;
    QLineEdit* CaEdt = nullptr;
    QLineEdit* YCaEdt = nullptr;
    QLabel* CbLbl = nullptr;
    QLineEdit* CbEdt = nullptr;
    QLineEdit* YCbEdt = nullptr;
    QScrollArea* ScrollBox2 = nullptr;
    std::array<QLabel*, 21> PLbl{};      // P1Lbl..P11Lbl, then Label30..Label39 (P12..P21)
    std::array<QLineEdit*, 21> PEdt{};   // P1Edt..P21Edt
    std::array<QLineEdit*, 21> YPEdt{};  // YP1Edt..YP21Edt
    QFrame* PanelP11_22 = nullptr;
    // GPS / sounder
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* GpsConnectedCB = nullptr;
    TStaticText* GpsDisconnectLbl = nullptr;
    QCheckBox* SounderCB = nullptr;
    TStaticText* SounderLblx = nullptr;
    TStaticText* SounderDisconnectLbl = nullptr;
    TStaticText* AltitudeLblx = nullptr;
    QLabel* Label17 = nullptr;
    TStaticText* Speedtxt = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    TStaticText* DistanceLblx = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* MinDistanceLbl = nullptr;
    TStaticText* NewRefLblx = nullptr;
    // data
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label5 = nullptr;
    TStaticText* InLblx = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    std::array<QLabel*, 20> VLbl{};          // Label6..Label15, then Label20..Label29
    std::array<TStaticText*, 20> VLblx{};    // V1Lblx..V20Lblx
    QFrame* PanelV11_20 = nullptr;
    QToolButton* ShowVp = nullptr;
    QToolButton* ShowRho = nullptr;
    // bottom row
    QPushButton* NewGpsBtn = nullptr;
    QToolButton* PauseBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QFrame* Panel2 = nullptr;
    TImage* MarkImg = nullptr;
    // graphs
    QFrame* Panel1 = nullptr;
    QCheckBox* VisibleRB = nullptr;
    QLabel* Label2 = nullptr;
    QSlider* SMax = nullptr;
    QLabel* Label3 = nullptr;
    QSlider* SMin = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QPushButton* FilterBtn = nullptr;
    PESGraph* PESGraph1 = nullptr;
    PESGraph* PESGraph2 = nullptr;
    // actions and pictures
    QAction* PowerAction = nullptr;
    QAction* Action2 = nullptr;
    QAction* Action4 = nullptr;
    QAction* Mark5 = nullptr;
    QAction* Mark6 = nullptr;
    QAction* Mark7 = nullptr;
    QAction* Mark8 = nullptr;
    QAction* Mark9 = nullptr;
    QAction* VpAction = nullptr;
    QAction* RhoAction = nullptr;
    TImageList ImageList3{47, 15};

    // --- start-up, setup opening, closing
    void FormCreate(QObject* sender);
    void FormCloseQuery(QObject* sender, bool& canClose);
    void OpenConfigurationFileBtnClick(QObject* sender);
    void OpenSetupFile(const QString& path);
    void ShowPortImage(bool recreate);
    void MainWindowProc(unsigned message);
    void EnableControls(QWidget* container, bool enabled);
    void ShowHelp(int context);
    void ShowValue();

    // --- geometry
    std::array<float, 20> GeometricFactors{};
    std::array<float, 20> MeasurePoints{};
    std::array<float, 20> PointDepths{};
    void ComputeCableDistances();
    void ComputeCable2Distances();
    double GeometricFactor(int index);
    double MeasurePointX(int index);
    double ArrayAsymmetry(int index);
    double PseudoDepth(int index);

    // --- handlers of the layout
    void ConnectBtnClick(QObject* sender);
    void Disconnect();
    void NewGpsBtnClick(QObject* sender);
    void StopBtnClick(QObject* sender);
    void Mark5Execute(QObject* sender);
    void Mark6Execute(QObject* sender);
    void Mark7Execute(QObject* sender);
    void Mark8Execute(QObject* sender);
    void Mark9Execute(QObject* sender);
    void ShowVpClick(QObject* sender);
    void ShowRhoClick(QObject* sender);
    void SpeedButton1Click(QObject* sender);
    void BitBtn1Click(QObject* sender);
    void Image2Click(QObject* sender);
    void SimulationBtnClick(QObject* sender);
    void BitBtn4Click(QObject* sender);
    void BitBtn3Click(QObject* sender);
    void TxVoltageCheckBtnClick(QObject* sender);
    void ChannelEdtExit(QObject* sender);
    void ViewCableBtnClick(QObject* sender);
    void BitBtn5Click(QObject* sender);
    void BrowseBtnClick();
    void ScrollBox2CanResize(QObject* sender, int& newWidth, int& newHeight, bool& resize);
    void ScrollBox1CanResize(QObject* sender, int& newWidth, int& newHeight, bool& resize);
    void BitBtn7Click(QObject* sender);
    void FilterBtnClick(QObject* sender);

    // --- survey: sentence parsers over the received bytes (commas become terminators); they
    // return the offset just past the field read last.
    int32_t ParseGpsPosition(char* buffer, uint32_t length, float& longitude, float& latitude,
                             float& longitudeRad, float& latitudeRad, float& altitude);
    int32_t ParseSounderDepth(char* buffer, uint32_t length, float& depth);

    // The state of one survey, set again at every survey start.
    struct TSurveyState {
        int32_t CycleIndex = -1;
        BinaryFileState Files; // RecordsInFile, HeaderSize, FileIndex
        TextFileState Text;    // what the survey wrote in its text file
        int32_t GraphPoints = 100;
        float RhoMax = -9999999.0f, RhoMin = 9999999.0f, RhoUnitFactor = 1;
        std::array<float, 20> GraphValues{};    // per channel: the stored cycle's section value
        std::array<float, 20> GraphPositions{}; // per channel: that column's position
        bool SectionFilled = false; // a stored cycle has filled the pseudo-section's rows
        QString BinFileName;
        SurveyTrack Track; // distance, speed, storage rule and the cycle's sentences
        int32_t LostCycles = 0; // cycles given up: the instrument stopped answering, or the link failed
        QString LostReason;     // why the last of them was lost
        int64_t PaceMs = 0;     // the longest trigger to last reading of its whole cycles
        QString FileNotice;     // the last file made again, back shorter, or gone on from
        int32_t CyclesToStore = 0; // cycles the survey stored, or tried to
    };
    TSurveyState Survey;
    // Why the last write of an acquisition file failed; empty once a write succeeded again.
    QString FileProblem;

    // --- value displays and graphs of a survey, at the points where the loop hands over
    void DisplayReset();
    // The depth display's ground: maroon while the sounder gives no depth, black otherwise.
    void ShowDepthCue(bool noDepth);
    void DipoleDisplayLayout();
    void GraphSetUp();
    void CycleDisplay();
    void GraphUpdate(int channel);
    void GraphUpdateEnd();
    // Builds the 51 colours of the pseudo-section from the track bars and redraws it.
    void ApplyColourScale();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    // The connection sequence; returns why the connection failed, empty when it did not fail or
    // the user ended it.
    QString Connect();
    // A connection sequence is running (Power On was given and has not returned yet).
    bool connecting_ = false;
    // The link is being taken down (its Escape under way): Power and the close join it.
    bool takingDown_ = false;
    // The window's close is under way (its Escape may take seconds on a bad line): commands
    // are not taken, so that no dialog opened meanwhile holds the program open.
    bool closing_ = false;
    // The survey's line is being written at Stop: it then says when the files disagree.
    bool surveyStopping_ = false;
    void RestoreConnectControls();
    // Closes the link without its Escape and restores the connect controls.
    void closeLink();
    // The survey's commands once the link is down: nothing to start, pause or stop until Power
    // On, and the GPS and sounder boxes uncovered, as a Stop leaves them.
    void SurveyControlsOff();
    // Takes down a link that failed by itself, restores the connect controls; returns what the
    // connection line says of it.
    QString TakeDownFailedLink(const std::exception& e);
    // The instrument did not give the prompt that ends a survey: the link is closed, so that
    // Power On finds it again, and the line says so.
    void TakeDownSilentLink();
    // An established link whose device went away (an adapter pulled) while nothing is sent is
    // closed and said, since no command would tell it until the next exchange.
    void WatchLinkDevice();
    // The device that went away when the link watch closed the link under the Tx voltage check.
    QString txCheckLostDevice_;
    void SetLinkLamps(bool on);
    int PowerTag() const;
    void SetPowerTag(int tag);
    // Shows the second cable set's rows for more than 10 channels and marks the switch unit.
    void ShowSwitchUnit(int32_t channels);
    // Shows positions held in Workspace in the edit boxes: A, B and P1 to P11 from `first` on,
    // P12 to P21 from `second` on.
    void ShowPositionBoxes(QLineEdit* a, QLineEdit* b, const std::array<QLineEdit*, 21>& p, int first, int second);
    bool ChooseSetupFile();
    // Survey phases (MainSurvey.cpp).
    enum class TAcceptance { Accepted, Refused };
    bool WaitForStart();
    void EndWithoutMeasurement();
    TAcceptance Accept();
    void AcceptWindowValues();
    void WriteBackSetup();
    bool ProgramInstrument();
    void RunCycle();
    // `talking`: set when a stop ended the wait on a line that never fell quiet.
    bool WaitSurveyPrompt(bool* talking = nullptr);
    void ReadSentences(CycleReader& reader);
    void ReadReadings(CycleReader& reader);
    void StoreCycle();
    void StopSequence();
    void TimeoutSignal(bool firstBeep);
    void SetFileProblem(const QString& problem);
    void ShowSurveyLine();
    QStringList surveyFileParts(bool stopped) const;
    // The line once the link came down at Stop: `words`, then what the survey kept in it.
    void keepSurveyLineAfter(const QString& words);
    // Counts a cycle lost and says why in the connection line.
    void noteLostCycle(const QString& reason);
    // Ends the survey over a link whose device went away.
    void EndWithDeviceGone(const QString& gone);
    QString surveyCaption_;          // the connection line as the survey found it
    QString keptSurveyLine_;         // the line as Stop left it, with the survey's losses
    bool surveyCycling_ = false;     // Start was accepted: programming, cycles, stop sequence
    int openings_ = 0; // setup files opened so far (a refused or missing file is not counted)
};

} // namespace Acquisition

extern Acquisition::TMainFrm* MainFrm;
