// The transcritical part of the model window, for a model with gas-cooler curves: the
// region in Te and gas-cooler pressure where the model rates at a chosen gas-cooler outlet
// temperature, with the operating point (Te of the run at the pressure of the highest
// COP), the figures over gas-cooler pressure at that outlet temperature, and the optimum.
#pragma once

#include "kv/gascooler.h"
#include "kv/modeltext.h"

#include <QGroupBox>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace kv {

// The Te-pressure diagram: each cell of a grid over the curves' ranges shaded by how the
// model rates there (clean, warning, refused), the operating point marked.
class GasCoolerDiagram : public QWidget {
    Q_OBJECT
public:
    GasCoolerDiagram(GasCoolerRange range, UnitSystem units, QWidget* parent = nullptr);
    static constexpr int kCells = 24;
    // Codes over the grid (row by pressure, column by Te) and the marked point (degC, Pa).
    void setRegion(std::vector<int32_t> codes, double te, double pgc);
    const std::vector<int32_t>& codes() const { return codes_; }
    double teAt(int column) const;
    double pressureAt(int row) const;
    // Where the operating point is drawn, in widget coordinates; invalid without one.
    QPointF pointPosition() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QRectF plotArea() const;
    GasCoolerRange range_;
    UnitSystem units_;
    std::vector<int32_t> codes_;
    double te_ = 0, pgc_ = 0;
};

class GasCoolerPanel : public QGroupBox {
    Q_OBJECT
public:
    GasCoolerPanel(const EngineApi& api, const ModelContext& context, GasCoolerRange range,
                   QWidget* parent = nullptr);
    // Rates the model at the outlet temperature of the field; false (and why shown) when
    // the field holds no number.
    bool apply();
    const GasCoolerTable& table() const { return table_; }

private:
    const EngineApi& api_;
    const ModelContext& context_;
    GasCoolerRange range_;
    GasCoolerTable table_;
    QLineEdit* txtOutlet_ = nullptr;
    QLabel* lblOptimum_ = nullptr;
    QLabel* lblProblem_ = nullptr;
    GasCoolerDiagram* diagram_ = nullptr;
    QTableWidget* tblGasCooler_ = nullptr;
};

} // namespace kv
