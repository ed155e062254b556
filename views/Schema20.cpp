#include "Schema20.h"

TSchema20Frm* Schema20Frm = nullptr;

TSchema20Frm::TSchema20Frm(QWidget* owner)
    : TCableForm(owner, FrontPanel::Model::Channels20, "Schema20Frm", false)
{
    setObjectName("Schema20Frm");
    Schema20Frm = this;
}

TSchema20Frm::~TSchema20Frm()
{
    if (Schema20Frm == this)
        Schema20Frm = nullptr;
}

void TSchema20Frm::ShowConnections(QObject*, const std::array<float, Electrodes>& positions, const QString& setupName)
{
    Show(positions.data(), Electrodes, Electrodes, setupName);
}
