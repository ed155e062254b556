#pragma once
#include <QDialog>
#include <cstdint>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What the graph-scale dialog writes and calls in the window whose pseudo-section it scales:
// Quorel's main window gives its AutoScale, ScaleMin and ScaleMax and its EnableControls.
struct TScaleFields {
    int32_t* AutoScale = nullptr;
    float* ScaleMin = nullptr;
    float* ScaleMax = nullptr;
    std::function<void(QWidget* container, bool enabled)> EnableControls;
};

// "Graphic scale": automatic or manual colour scale of the pseudo-section and the bounds of the
// manual scale. Created once at start, shown modally; its controls keep what was last entered.
class TFilterFrm : public QDialog {
    Q_OBJECT
public:
    // fields is asked at each use, so the dialog always reaches the current main window.
    TFilterFrm(QWidget* owner, std::function<TScaleFields()> fields);
    ~TFilterFrm() override;

    QCheckBox* AutoScaleRb = nullptr;
    QGroupBox* ScaleGb = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* MinEdt = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* MaxEdt = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void FormShow(QObject* sender);
    void AutoScaleRbClick(QObject* sender);
    void BitBtn1Click(QObject* sender);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<TScaleFields()> fields_;
};

extern TFilterFrm* FilterFrm;
