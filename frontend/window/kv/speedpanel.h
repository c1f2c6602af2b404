// The speed of a variable-speed model in its model window: a field and a slider kept in
// step, the figures against speed at the operating point, and the speed that meets a
// capacity the user types.
#pragma once

#include "kv/modeltext.h"
#include "kv/speedrating.h"

#include <QGroupBox>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTableWidget;

namespace kv {

class SpeedPanel : public QGroupBox {
    Q_OBJECT
public:
    // `context` holds the operating point (engine units) without a speed.
    SpeedPanel(const EngineApi& api, const ModelContext& context, const KPX_SpeedInfo& info,
               QWidget* parent = nullptr);
    double speed() const;
    // The text of the match label for a required capacity typed in display units.
    QString matchText(const QString& required) const;

signals:
    // The speed chosen in the field or the slider, rev/s.
    void speedChosen(double speed);

private:
    void fillSpeedTable();

    const EngineApi& api_;
    ModelContext context_;
    KPX_SpeedInfo info_;
    QDoubleSpinBox* spnSpeed = nullptr;
    QSlider* sldSpeed = nullptr;
    QTableWidget* tblSpeeds = nullptr;
    QLineEdit* txtRequiredCapacity = nullptr;
    QLabel* lblMatchSpeed = nullptr;
};

} // namespace kv
