#pragma once
#include "SchemaCommon.h"

#include <array>
#include <cstdint>

// The 10-channel cable-connection view: which cable output goes to which socket of the
// instrument for A, B and P1 to P11.
class TSchemaFrm : public Schema::TCableForm {
    Q_OBJECT
public:
    static constexpr int Electrodes = 13;
    explicit TSchemaFrm(QWidget* owner = nullptr);
    ~TSchemaFrm() override;

    QLabel* Warning10Lbl = nullptr;

    // Fills the view for `channels` channels (at most 10 are placed); the caller then shows it.
    void ShowConnections(QObject* sender, const std::array<float, Electrodes>& positions,
                         const QString& setupName, int32_t channels);
};

extern TSchemaFrm* SchemaFrm;
