// The graph-scale dialog: 240 x 231 pixels, the "Auto scale" box above the "Scale" group with
// the two bounds, OK at the bottom.
#include "Filter.h"

#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/NumberFormat.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFilterFrm* FilterFrm = nullptr;

TFilterFrm::TFilterFrm(QWidget* owner, std::function<TScaleFields()> fields)
    : QDialog(owner), fields_(std::move(fields))
{
    setObjectName("FilterFrm");
    setWindowTitle("Graphic scale");
    setFixedSize(240, 231);

    AutoScaleRb = new QCheckBox("Auto scale", this);
    AutoScaleRb->setObjectName("AutoScaleRb");
    AutoScaleRb->setGeometry(24, 16, 190, 20);
    AutoScaleRb->setChecked(true);

    ScaleGb = new QGroupBox("Scale", this);
    ScaleGb->setObjectName("ScaleGb");
    ScaleGb->setGeometry(16, 48, 208, 113);
    Label1 = new QLabel("Minimum :", ScaleGb);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 32, 70, 16);
    MinEdt = new QLineEdit("0", ScaleGb);
    MinEdt->setObjectName("MinEdt");
    MinEdt->setGeometry(96, 28, 96, 22);
    Label2 = new QLabel("Maximum :", ScaleGb);
    Label2->setObjectName("Label2");
    Label2->setGeometry(16, 72, 70, 16);
    MaxEdt = new QLineEdit("1000", ScaleGb);
    MaxEdt->setObjectName("MaxEdt");
    MaxEdt->setGeometry(96, 68, 96, 22);
    Label1->setBuddy(MinEdt);
    Label2->setBuddy(MaxEdt);

    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(80, 180, 80, 28);
    BitBtn1->setDefault(true);

    connect(AutoScaleRb, &QCheckBox::clicked, this, [this] { AutoScaleRbClick(AutoScaleRb); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(BitBtn1); });
}

TFilterFrm::~TFilterFrm()
{
    if (FilterFrm == this)
        FilterFrm = nullptr;
}

void TFilterFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow(this);
}

void TFilterFrm::FormShow(QObject*)
{
    AutoScaleRbClick(AutoScaleRb);
}

void TFilterFrm::AutoScaleRbClick(QObject*)
{
    const TScaleFields f = fields_ ? fields_() : TScaleFields{};
    if (f.EnableControls)
        f.EnableControls(ScaleGb, !AutoScaleRb->isChecked());
}

// Both bounds are taken or neither: a bound that is not a number would otherwise switch the
// pseudo-section to a manual scale with the bounds of an earlier showing. With the automatic
// scale the bounds are not used, so one that does not convert is left as it was, silently.
void TFilterFrm::BitBtn1Click(QObject*)
{
    const bool automatic = AutoScaleRb->isChecked();
    float min = 0, max = 0;
    QLineEdit* bad = nullptr;
    QLabel* badLabel = nullptr;
    if (!TryTextToFloat32(MinEdt->text(), min)) {
        bad = MinEdt;
        badLabel = Label1;
    } else if (!TryTextToFloat32(MaxEdt->text(), max)) {
        bad = MaxEdt;
        badLabel = Label2;
    }
    if (bad && !automatic) {
        const QString name = badLabel->text().remove(':').trimmed();
        Dialogs().MessageBox(QString("%1: \"%2\" is not a valid number; the scale is unchanged.")
                                 .arg(name, bad->text()),
                             Application->Title, MB_OK | MB_ICONERROR);
        bad->setFocus();
        bad->selectAll();
        return;
    }
    const TScaleFields f = fields_ ? fields_() : TScaleFields{};
    if (f.AutoScale)
        *f.AutoScale = automatic ? 1 : 0;
    if (!bad) {
        if (f.ScaleMin)
            *f.ScaleMin = min;
        if (f.ScaleMax)
            *f.ScaleMax = max;
    }
    accept();
}
