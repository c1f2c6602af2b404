// A model's performance table: capacity, power input, COP (EER), current and mass flow
// over a grid of Te (rows) and Tc (columns) around the operating point, each cell rated
// with KPX_Rating at the run's Sc, Sh1 and Sh2. The window, its PDF data sheet and the
// command line all draw their numbers from here.
#pragma once

#include "kv/binding.h"
#include "kv/envelope.h"
#include "kv/units.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kv {

// The model a window or a command shows, with the texts of its data sheet.
struct ModelInfo {
    int32_t number = 0;
    std::string name, showName, refrigerant, family, technology, voltage;
};

// Reads a model's texts; `family` is the display text of its "DLLF" code.
ModelInfo modelInfo(const EngineApi& api, int32_t number);
// The model among those matching the codes whose "Name", "Refrigerant" and voltage text
// are those of a grid row.
std::optional<ModelInfo> findGridModel(const EngineApi& api, int32_t refrigerant, int32_t family,
                                       int32_t power, const std::string& name,
                                       const std::string& refrigerantText,
                                       const std::string& voltage);
// The first model whose "Name" or "ShowName" is `name`, as the catalogue's bytes or as
// their display text (displaytext.h).
std::optional<ModelInfo> findModelByName(const EngineApi& api, const std::string& name);
// Calls `visit` with the number of each model matching the codes (0: any), in the
// catalogue's order, while it gives true.
void forEachModel(const EngineApi& api, int32_t refrigerant, int32_t family, int32_t power,
                  const std::function<bool(int32_t)>& visit);
// The model's texts as every output shows them: display texts, valid UTF-8.
ModelInfo displayed(const ModelInfo& m);

// The range of a table in the unit system shown (°C or °F).
struct TableRange {
    double teFrom = 0, teTo = 0, teStep = 5;
    double tcFrom = 0, tcTo = 0, tcStep = 5;
};

inline constexpr int kMaxTableCells = 10000;

// The multiples of the step (5 K in SI, 10 °F in imperial) within two steps either side
// of the operating point; computeTable adds the point's own row and column between them.
TableRange defaultTableRange(const ConditionValues& shownPoint, UnitSystem units);
// A clear message for a range that can't be tabled: a step of zero or below, a bound
// that is no number, more than kMaxTableCells cells, Te above Tc in every cell.
std::optional<std::string> checkTableRange(const TableRange& range);

enum class Quantity { Capacity = 0, Power, Efficiency, Current, MassFlow };
inline constexpr int kQuantities = 5;
// "Cooling capacity (W)", "COP", "EER (Btu/W.h)", ... as the results grid heads them.
std::string quantityHeading(Quantity q, UnitSystem units);
// Decimals a figure is shown with: those of the results grid.
int quantityDecimals(Quantity q);

struct TableCell {
    int32_t code = -1;
    // Display units: W or Btu/h, W, COP or EER, A, kg/h or lbs/h. Empty when refused.
    std::array<double, kQuantities> values{};
    bool rated() const { return code >= 0; }
};

// A figure beyond the rating shown with a table (figures.h), per cell: its value in the
// units shown (none where refused or not known) and a warning of its own (or empty).
struct ExtraFigure {
    std::string heading;
    int decimals = 2;
    std::vector<std::optional<double>> values;
    std::vector<std::string> warnings;
};

struct PerfTable {
    ModelInfo model;    // the catalogue's texts (engine bytes)
    ConditionValues at; // the run's conditions, engine units
    UnitSystem units = UnitSystem::SI;
    std::vector<double> te, tc;          // row and column temperatures, units shown
    std::vector<TableCell> cells;        // row-major: cells[row * tc.size() + column]
    int pointRow = -1, pointColumn = -1; // the operating point's row and column, or -1
    std::optional<ExtraFigure> extra;    // shown after the five figures when set
    const TableCell& cell(std::size_t row, std::size_t column) const {
        return cells[row * tc.size() + column];
    }
};

// The figures of one rating in display units.
std::array<double, kQuantities> displayValues(const PointRating& r, UnitSystem units);

// Rates every cell. `at` holds the run's conditions in engine units; its Te and Tc are the
// operating point, whose own row and column are added where they fall between two steps
// of the range, and marked. The range must have passed checkTableRange.
PerfTable computeTable(const EngineApi& api, int32_t model, const ConditionValues& at,
                       UnitSystem units, const TableRange& range);

// A number rounded half-to-even to `decimals` places, as plain text with "." (no grouping).
// A magnitude of 1e15 or more is written with an exponent ("1E+70"); a value that is no
// finite number gives an empty text.
std::string plainNumber(double value, int decimals);

// One CSV field as RFC 4180 writes it: quoted, with doubled quotes, when it holds a
// comma, a quote, CR or LF.
std::string csvField(const std::string& text);

// One RFC 4180 record: the fields, comma-separated, and CRLF.
std::string csvRecord(const std::vector<std::string>& fields);

// What an exported table or envelope starts with: a header and a record of the model
// (display texts) and the five conditions (units shown, plain numbers), and an empty line.
std::string modelConditionsCsv(const ModelInfo& model, const ConditionValues& at, UnitSystem units);

// The table as RFC 4180 CSV: modelConditionsCsv, then one record per cell: Te, Tc, the code, the
// five figures (empty when refused), the extra figure where the table has one, and the
// reason of a non-zero code (and the extra figure's warning); units in the headers.
std::string tableCsv(const PerfTable& table);

} // namespace kv
