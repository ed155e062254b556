// Handlers whose work comes with the survey, the live graphs and the cable views.
#include "Main.h"

#include <QCheckBox>
#include <QPushButton>

namespace Acquisition {

void TMainFrm::NewGpsBtnClick(QObject*)
{
    AcquisitionMode = (GpsConnectedCB->isChecked() ? 0x0A : 0x05) + (SounderCB->isChecked() ? 0xA0 : 0x50);
}
void TMainFrm::StopBtnClick(QObject*)
{
    StopRequested = 1;
    NewGpsBtn->setEnabled(false);
    TxVoltageCheckBtn->setEnabled(false);
}
void TMainFrm::Mark5Execute(QObject*) {}
void TMainFrm::Mark6Execute(QObject*) {}
void TMainFrm::Mark7Execute(QObject*) {}
void TMainFrm::Mark8Execute(QObject*) {}
void TMainFrm::Mark9Execute(QObject*) {}
void TMainFrm::ShowVpClick(QObject*) {}
void TMainFrm::ShowRhoClick(QObject*) {}
void TMainFrm::SimulationBtnClick(QObject*) {}
void TMainFrm::BitBtn5Click(QObject*) {}
void TMainFrm::ScrollBox2CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::ScrollBox1CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::BitBtn7Click(QObject*) {}

} // namespace Acquisition
