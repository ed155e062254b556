#include "Schema.h"

#include <QLabel>
#include <algorithm>

TSchemaFrm* SchemaFrm = nullptr;

TSchemaFrm::TSchemaFrm(QWidget* owner)
    : TCableForm(owner, FrontPanel::Model::Channels10, "Varnok Pro cable connections", true)
{
    setObjectName("SchemaFrm");
    SchemaFrm = this;
    Warning10Lbl = new QLabel("Warning Error can occur for less than 10 channels", Panel1);
    Warning10Lbl->setObjectName("Warning10Lbl");
    Warning10Lbl->setGeometry(500, 8, 460, 16);
    QPalette pal = Warning10Lbl->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    Warning10Lbl->setPalette(pal);
}

TSchemaFrm::~TSchemaFrm()
{
    if (SchemaFrm == this)
        SchemaFrm = nullptr;
}

void TSchemaFrm::ShowConnections(QObject*, const std::array<float, Electrodes>& positions,
                                 const QString& setupName, int32_t channels)
{
    Warning10Lbl->setVisible(channels < 10);
    // The view has 13 outputs: more than 10 channels are placed as 10, never past the cable.
    const int inUse = std::clamp<int64_t>(int64_t(channels) + 3, 0, Electrodes);
    Show(positions.data(), Electrodes, inUse, setupName);
}
