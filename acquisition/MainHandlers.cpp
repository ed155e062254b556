// Handlers whose work comes with the survey, the connection and the window commands.
#include "Main.h"

#include <QCheckBox>
#include <QPushButton>

namespace Acquisition {

void TMainFrm::ShowVpClick(QObject*) {}
void TMainFrm::ShowRhoClick(QObject*) {}
void TMainFrm::SpeedButton1Click(QObject*) {}
void TMainFrm::Image2Click(QObject*) {}
void TMainFrm::BitBtn4Click(QObject*) { ShowHelp(-1); }
void TMainFrm::BitBtn3Click(QObject*) {}
void TMainFrm::TxVoltageCheckBtnClick(QObject*) {}
void TMainFrm::ChannelEdtExit(QObject*) {}
void TMainFrm::ViewCableBtnClick(QObject*) {}
void TMainFrm::ScrollBox2CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::ScrollBox1CanResize(QObject*, int&, int&, bool&) {}
void TMainFrm::BitBtn7Click(QObject*) {}
void TMainFrm::FilterBtnClick(QObject*) {}

} // namespace Acquisition
