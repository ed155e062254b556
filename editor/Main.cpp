#include "Main.h"

Editor::TMainFrm* MainFrm = nullptr;

namespace Editor {

TMainFrm::TMainFrm(QWidget* owner) : QWidget(owner)
{
    MainFrm = this;
    setObjectName("MainFrm");
    setWindowTitle("QuorelIni");
}

} // namespace Editor
