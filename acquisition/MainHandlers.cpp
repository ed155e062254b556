// Handlers whose work comes with the survey, the live graphs and the cable views.
#include "Main.h"

#include <QCheckBox>
#include <QPushButton>

namespace Acquisition {

void TMainFrm::ShowVpClick(QObject*) {}
void TMainFrm::ShowRhoClick(QObject*) {}
void TMainFrm::TxVoltageCheckBtnClick(QObject*) {}
void TMainFrm::ViewCableBtnClick(QObject*) {}
void TMainFrm::ScrollBox2CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::ScrollBox1CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::BitBtn7Click(QObject*) {}

} // namespace Acquisition
