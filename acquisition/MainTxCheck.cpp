// "Tx Voltage Check": before a survey, finds the highest transmitter voltage worth using by
// measuring at voltages that double up to a maximum the user gives, until the current stops
// growing or the first dipole leaves the input range. It runs while the survey waits for Start.
#include "Main.h"

#include "LinkWords.h"
#include "link/Portvirt.h"
#include "link/Varnokpro.h"
#include "platform/Dialogs.h"
#include "platform/NumberFormat.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <exception>

namespace Acquisition {

namespace {

constexpr int CommandMs = 2000;
constexpr uint8_t NoGpsNoSounder = 0x55;
constexpr float StartVolts = 5.0f;
constexpr double GrowthFactor = 1.1;     // less growth than 10 % is saturation
constexpr double Range15Limit = 2500;    // mV of the first dipole on the 15 V input range
constexpr double Range5Limit = 7500;     // mV on the 5 V range
constexpr int SetCurrentPlus = 10, SetCurrentMinus = 21;

// The maximum to check up to, or false when it is not a number the doubling can reach: the
// voltage must be positive and fit a 32-bit float, and its half must still double (a value
// below the smallest normal float halves to nothing).
bool maximumVolts(const QString& text, float& volts)
{
    float v = 0;
    if (!TryTextToFloat32(text, v) || !(v >= FLT_MIN))
        return false;
    volts = v;
    return true;
}

void putLe(TPortVirt& port, const void* value, int bytes)
{
    uint8_t b[4] = {};
    std::memcpy(b, value, static_cast<size_t>(bytes)); // the host is little-endian, as the wire
    port.PutBlock(b, bytes);
}

// The end of a measurement: stop byte, prompt, then the status again.
void endMeasurement(TPortVirt& port, std::array<uint8_t, InstrumentStatusSize>& status)
{
    port.PutCom(0);
    port.WaitPrompt();
    port.SetCmd(CmdStatus, CommandMs);
    port.LoadBuffer(status.data(), static_cast<int>(status.size()));
}

} // namespace

void TMainFrm::TxVoltageCheckBtnClick(QObject*)
{
    // The link waits inside the check let other handlers run; a second check started from
    // there would interleave its exchange with this one's.
    if (TxCheckRunning || !ActivePort)
        return;
    TxCheckRunning = true;
    txCheckLostDevice_.clear();
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{TxCheckRunning};

    QString text = TxVoltageEdt->text();
    const QString textBefore = text;
    const float voltageBefore = RemoteTxVoltage;
    if (!Dialogs().InputQuery("Test max current", "Maximun Tx Voltage to check", text))
        return;
    float vmax = 0;
    if (!maximumVolts(text, vmax)) {
        Dialogs().ShowMessage("Input error");
        return;
    }
    const double halfMax = double(vmax) * 0.5;

    RemoteTime = PulseTimeUnits(TimeEdt->text(), RemoteTime);
    TimeEdt->setText(QString::number(10 * int(RemoteTime)));

    SwitchEnabled = 0; // the check never uses the switch unit
    AcquisitionMode = NoGpsNoSounder;

    float previousCurrent = 0;
    RemoteTxVoltage = static_cast<float>(halfMax);
    while (RemoteTxVoltage > StartVolts)
        RemoteTxVoltage *= 0.5f;

    NewGpsBtn->setEnabled(false);
    TxVoltageCheckBtn->setEnabled(false);

    TPortVirt& port = *ActivePort;
    bool measured = false;       // some step got as far as its current
    float lastMeasured = 0;      // the voltage of that step
    std::exception_ptr failure;  // what ended the check before its own test did
    try {
        port.SetCmd(CmdStatus, CommandMs);
        port.LoadBuffer(InstrumentStatus.data(), static_cast<int>(InstrumentStatus.size()));

        while (halfMax >= double(RemoteTxVoltage)) {
            RemoteTxVoltage *= 2;
            TxVoltageEdt->setText(FormatFloat("##0", RemoteTxVoltage));
            const bool range15 = Range15Rb->isChecked();
            const bool ip = IpDataChk->isChecked();
            const uint8_t command = range15 ? (ip ? 47 : 34) : (ip ? 49 : 48);
            const double rangeLimit = range15 ? Range15Limit : Range5Limit;

            port.PromptSetCmd(command, CommandMs);
            putLe(port, &RemoteTxVoltage, 4);
            putLe(port, &RemoteTime, 2);
            putLe(port, &RemoteDelay, 2);
            putLe(port, &SwitchEnabled, 2);

            try {
                // Its own mode, not the field: F3 during the check changes the field, and a
                // mode with GPS or sounder would make the instrument send sentences first.
                port.PutCom(NoGpsNoSounder);
                uint32_t channels = 0;
                std::memcpy(&channels, InstrumentStatus.data(), 4);
                const uint64_t n = channels;
                ReadReadingBlock(port, Workspace, n + 1, 0, SetCurrentPlus);
                if (ip)
                    ReadReadingBlock(port, Workspace, n, 84, -1);
                ReadReadingBlock(port, Workspace, n + 1, 11, SetCurrentMinus);
                if (ip)
                    ReadReadingBlock(port, Workspace, n, 94, -1);

                const float current = static_cast<float>(
                    std::fabs((double(Workspace[SetCurrentPlus]) - double(Workspace[SetCurrentMinus])) * 0.5));
                measured = true;
                lastMeasured = RemoteTxVoltage;
                if (double(previousCurrent) * GrowthFactor >= double(current)) {
                    RemoteTxVoltage *= 0.5f;
                    TxVoltageEdt->setText(FormatFloat("##0", RemoteTxVoltage));
                    break;
                }
                previousCurrent = current;
                if (std::fabs(double(Workspace[0]) - double(Workspace[11])) > rangeLimit)
                    break;

                InLblx->setText(FormatFloat("#.00", current));
                for (size_t k = 0; k < 10; ++k) {
                    VLblx[k]->setText(FormatFloat("#.00", (double(Workspace[k]) - double(Workspace[k + 11])) * 0.5));
                    VLblx[k + 10]->setText(
                        FormatFloat("#.00", (double(Workspace[42 + k]) - double(Workspace[53 + k])) * 0.5));
                }
                endMeasurement(port, InstrumentStatus);
            } catch (const std::exception&) {
                // A step that fails is given up; the next voltage is tried.
            }
        }
    } catch (...) {
        // The status download, the measurement command or the parameter block failed (a link
        // that closed): the ending below must still run, then the error is shown.
        failure = std::current_exception();
    }

    // The survey waiting for Start takes any other mode as Start.
    AcquisitionMode = 0;
    if (!measured) {
        // Nothing was measured: no voltage was checked, so the box keeps what it held.
        RemoteTxVoltage = voltageBefore;
        TxVoltageEdt->setText(textBefore);
    } else if (failure) {
        // Cut short: the box shows the last voltage that was measured, not one never tried.
        RemoteTxVoltage = lastMeasured;
        TxVoltageEdt->setText(FormatFloat("##0", RemoteTxVoltage));
    }
    // Start and the check come back only once the instrument has answered the end of the
    // check: after a link that failed there, nothing can be measured until it is connected
    // again. A Stop given during the check keeps them as Stop left them.
    bool ended = false;
    try {
        endMeasurement(port, InstrumentStatus);
        ended = true;
    } catch (const std::exception&) {
        // The link is gone; the window stays usable for Stop and Power off.
    }
    if (ended && StopRequested != 1) {
        TxVoltageCheckBtn->setEnabled(true);
        NewGpsBtn->setEnabled(true);
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Exception& e) {
            // The link's code, in the words of the connection line.
            const QString gone = port.DeviceGone();
            throw Exception(LinkFaultMessage(e.Message, gone.isEmpty() ? txCheckLostDevice_ : gone));
        }
    }
}

} // namespace Acquisition
