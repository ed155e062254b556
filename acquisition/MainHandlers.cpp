// Handlers whose work comes with the survey, the live graphs and the cable views.
#include "Main.h"

#include <QCheckBox>
#include <QPushButton>

namespace Acquisition {

void TMainFrm::TxVoltageCheckBtnClick(QObject*) {}
void TMainFrm::ViewCableBtnClick(QObject*) {}

} // namespace Acquisition
