#include "LinkWords.h"

#include "CycleReading.h"

#include "link/Portvirt.h"

namespace Acquisition {

namespace {
// Each code of the link, as the user reads it. A code raised only on a link that was closed
// under the exchange never reaches the line (the user ended it); one that does means the line
// stopped passing bytes.
struct TFaultWords {
    const char* Code;
    const char* Words;
};
constexpr TFaultWords FaultWords[] = {
    {PortErrPutcom, "nothing could be sent to the instrument"},
    {PortErr, "nothing could be sent to the instrument"},
    {PortErrSetcmd, "nothing could be sent to the instrument"},
    {PortErrGetcom, "nothing could be read from the instrument"},
    {PortErrGetstring, "nothing could be read from the instrument"},
    {PortErrXbtCload, "the instrument's data could not be read"},
    {PortWaitError, "the instrument's answer could not be read"},
};
// Each reason a cycle is lost for, short so that the line reads whole beside its count.
struct TLossWords {
    CycleLoss Loss;
    const char* Words;
};
constexpr TLossWords LossWords[] = {
    {CycleLoss::NoAnswer, "no answer"},
    {CycleLoss::GarbledSentence, "garbled sentence"},
    {CycleLoss::GarbledReadings, "garbled readings"},
};
constexpr const char* LostWords = "the link to the instrument was lost: %1 went away";
constexpr const char* LinkLost = "The link to the instrument was lost: %1 went away";
constexpr const char* ConnectionFailed = "The connection failed (%1)";
} // namespace

QString LinkFaultWords(const QString& code, const QString& goneDevice)
{
    if (!goneDevice.isEmpty())
        return QString(LostWords).arg(goneDevice);
    for (const auto& w : FaultWords)
        if (code == QLatin1String(w.Code))
            return w.Words;
    return code; // not the link's own: already the system's words (a file, the driver)
}

QString LinkFaultMessage(const QString& code, const QString& goneDevice)
{
    QString words = LinkFaultWords(code, goneDevice);
    if (!words.isEmpty())
        words[0] = words[0].toUpper();
    return words;
}

QString LostCycleWords(CycleLoss loss)
{
    for (const auto& w : LossWords)
        if (w.Loss == loss)
            return w.Words;
    return {};
}

QString LinkLostText(const QString& goneDevice) { return QString(LinkLost).arg(goneDevice); }

QString SurveyLinkLostText(const QString& goneDevice, int32_t stored, int32_t lost)
{
    return QString("%1  -  %2 cycle%3 stored, %4 lost")
        .arg(LinkLostText(goneDevice))
        .arg(stored)
        .arg(stored == 1 ? "" : "s")
        .arg(lost);
}

QString ConnectionFailedText(const QString& code, const QString& goneDevice)
{
    return QString(ConnectionFailed).arg(LinkFaultWords(code, goneDevice));
}

} // namespace Acquisition
