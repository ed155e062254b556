// The survey: entered once the link is established, left when it stops.
#include "Main.h"

#include "link/Portvirt.h"
#include "platform/Application.h"

#include <QGroupBox>
#include <QPushButton>
#include <QToolButton>

namespace Acquisition {

// Until the acquisition cycle is built the survey only waits for Stop, as it does before Start.
void TMainFrm::BitBtn1Click(QObject*)
{
    NewSurveyBtn->setEnabled(false);
    StopRequested = 0;
    AcquisitionMode = 0;
    StartConfigGB->show();
    PauseBtn->setEnabled(true);
    StopBtn->setEnabled(true);
    while (StopRequested != 1 && ActivePort && ActivePort->GetState() > 0)
        TApplication::ProcessMessages(20);
    EnableControls(VarnokParametersGB, false);
    ShowVp->setEnabled(false);
    ShowRho->setEnabled(false);
    if (ConnectGb->isHidden()) {
        NewSurveyBtn->setEnabled(true);
        NewSurveyBtn->show();
    }
}

} // namespace Acquisition
