#pragma once
#include "SchemaCommon.h"

#include <array>

// The 20-channel cable-connection view: A, B and P1 to P21 over the switch unit's panel.
class TSchema20Frm : public Schema::TCableForm {
    Q_OBJECT
public:
    static constexpr int Electrodes = 23;
    explicit TSchema20Frm(QWidget* owner = nullptr);
    ~TSchema20Frm() override;

    // Fills the view for all 23 electrodes; the caller then shows it.
    void ShowConnections(QObject* sender, const std::array<float, Electrodes>& positions, const QString& setupName);
};

extern TSchema20Frm* Schema20Frm;
