#pragma once
#include <QString>
#include <cstdint>

namespace Acquisition {

enum class CycleLoss;

// What the connection line says of a link fault. The link raises short fixed codes; the user
// reads what happened instead, and the device that went away where one did (an adapter
// pulled), since nothing else brings the link back.
// code: the link's exception text; goneDevice: the link's device that went away, or empty.
QString LinkFaultWords(const QString& code, const QString& goneDevice);
// The line when the link's device went away outside any exchange (Power off, waiting for Start).
QString LinkLostText(const QString& goneDevice);
// The line when a survey ended because the link's device went away: the loss, then the cycles
// the survey stored and lost.
QString SurveyLinkLostText(const QString& goneDevice, int32_t stored, int32_t lost);
// A link fault as a message box says it, on its own.
QString LinkFaultMessage(const QString& code, const QString& goneDevice);
// Why cycles were lost, as the connection line says it after their count.
QString LostCycleWords(CycleLoss loss);
// The line when a connection, or an established link, failed by itself.
QString ConnectionFailedText(const QString& code, const QString& goneDevice);

} // namespace Acquisition
