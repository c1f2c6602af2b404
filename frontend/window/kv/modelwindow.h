// The model window: one model of the results grid at the conditions of the run it came
// from, with its envelope diagram, its performance table and their export as CSV and as a
// PDF data sheet. It is not modal and keeps the conditions it was opened with.
#pragma once

#include "kv/binding.h"
#include "kv/calcrun.h"
#include "kv/envelope.h"
#include "kv/figures.h"
#include "kv/modeltext.h"
#include "kv/perftable.h"
#include "kv/units.h"

#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kv {

class GridModel;
class ResultsGrid;

class ModelWindow : public QWidget {
    Q_OBJECT
public:
    ModelWindow(const EngineApi& api, ModelContext context, QWidget* parent = nullptr);

    const ModelContext& context() const { return context_; }
    const Envelope& envelope() const { return envelope_; }
    const PerfTable& table() const { return table_; }

    // Recomputes the table for the range in the fields; false (and the reason shown) when
    // the range can't be tabled.
    bool applyRange();
    // Writes the table as CSV / the data sheet as PDF; an empty text on success, else why not.
    QString exportCsv(const QString& path) const;
    QString exportPdf(const QString& path) const;

    // "Te 5 °C, Tc 50 °C, Sc 0 K, Sh1 10 K, Sh2 10 K"
    QString conditionsText() const;
    // The rated figures at the operating point, with units.
    QString ratedText() const;
    // Its pressures, pressure ratio and discharge temperature (kv::pressuresText).
    QString pressuresText() const;
    const RatingFigures& pointFigures() const { return figures_; }

private:
    // Puts the figure chosen in the "Show" list (if one is) into the table, and shows it.
    void showChoice();
    void fillTable();
    // Asks for a file and writes the data sheet (pdf) or the table's CSV to it.
    void chooseExport(bool pdf);
    // A variable-speed model: its speed panel beside the table, and everything rated again
    // at the speed chosen there.
    void addSpeedPanel(QHBoxLayout* body);
    void rateAtSpeed(double speed);

    const EngineApi& api_;
    ModelContext context_;
    Envelope envelope_;
    PerfTable table_;
    PointRating rated_;
    RatingFigures figures_; // at the operating point

    QComboBox* cbQuantity = nullptr;
    QLineEdit* range_[6] = {};
    QLabel* lblRangeProblem = nullptr;
    QTableWidget* tblPerformance = nullptr;
};

// Opens a model window on a double-click or Enter on a result row of the grid, for the
// model of that row at the conditions of the last run.
class ModelWindowOpener : public QObject {
    Q_OBJECT
public:
    ModelWindowOpener(const EngineApi& api, ResultsGrid* grid, std::function<int()> resultCount,
                      QWidget* owner);
    // The run whose rows the grid shows.
    void setRun(const CalcResult& result, UnitSystem units, const NumberFormat& format);
    // Opens the window of grid row `row`; nullptr for the header, the empty row, a grid
    // without results or a model that can't be found.
    ModelWindow* open(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const EngineApi& api_;
    ResultsGrid* grid_;
    std::function<int()> resultCount_;
    QWidget* owner_;
    ConditionValues conditions_;
    UnitSystem units_ = UnitSystem::SI;
    NumberFormat format_;
    int32_t codes_[3] = {};
    bool hasRun_ = false;
};

} // namespace kv
