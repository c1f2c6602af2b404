#include "kv/calcrun.h"

#include "kpx/catalogue_schema.h"
#include "kv/displaytext.h"
#include "kv/envelope.h"
#include "kv/fluidcheck.h"

#include <kpx_text_buffer.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <utility>

namespace kv {

// ---- the grid header ---------------------------------------------------------------

int twipsToPixels(int twips) {
    // 1440 twips per inch, 96 pixels per inch: 15 twips per pixel.
    const int sign = twips < 0 ? -1 : 1;
    return sign * ((std::abs(twips) * 96 + 720) / 1440);
}

GridHeader gridHeader(UnitSystem system) {
    GridHeader h;
    const bool imperial = system == UnitSystem::Imperial;
    h.texts = {"",
               "Technology",
               "Model",
               "Refrigerant",
               "Voltage",
               imperial ? "Cooling capacity (Btu/h)" : "Cooling capacity (W)",
               "Power input (W)",
               imperial ? "EER (Btu/W.h)" : "COP",
               "Current (A)",
               imperial ? "Mass flow (lbs/h)" : "Mass flow (kg/h)"};
    h.widthsTwips = {100, 1170, 1900, 950, 1050, 1400, 950, 800, 750, 850};
    for (int c = 0; c < kGridColumns; ++c)
        h.widthsPixels[static_cast<std::size_t>(c)] =
            twipsToPixels(h.widthsTwips[static_cast<std::size_t>(c)]);
    h.rowHeightPixels = twipsToPixels(h.rowHeightTwips);
    return h;
}

// ---- the model's texts -------------------------------------------------------------

std::string technologyText(std::string_view dllf) {
    const kpx::FamilyEntry* family = kpx::entryFor(kpx::kFamilies, dllf);
    return family != nullptr ? std::string(family->technology) : std::string();
}

std::string voltageText(std::string_view dllp) {
    const kpx::SupplyEntry* supply = kpx::entryFor(kpx::kSupplies, dllp);
    return std::string(supply != nullptr ? supply->voltage : dllp);
}

bool keptAtFrequency(std::string_view dllp, Frequency frequency) {
    const kpx::SupplyEntry* supply = kpx::entryFor(kpx::kSupplies, dllp);
    return supply == nullptr || supply->hertz == (frequency == Frequency::Hz50 ? 50 : 60);
}

bool passesModelFilter(std::string_view showName, std::string_view filter) {
    if (filter.empty())
        return true;
    std::string upper(filter);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return showName.find(upper) != std::string_view::npos;
}

std::string resultsLabel(int resultCount) {
    return "Results : " + std::to_string(resultCount);
}

// ---- the calculation run -------------------------------------------------------------

namespace {

// Every text buffer of the run is filled with "a" before its engine call.
constexpr char kFill = 'a';

} // namespace

std::string modelData(const EngineApi& api, int32_t model, const char* column) {
    kpx::TextBuffer b(kFill);
    api.KPX_GetModelData(model, column, b.address());
    return b.text();
}

CalcResult runCalculation(const EngineApi& api, const CalcRequest& req) {
    CalcResult r;
    const NumberFormat& fmt = req.format;

    r.refrigerantCode = findCode(api, CodeList::Refrigerant, req.refrigerant);
    r.familyCode = findCode(api, CodeList::Family, req.family);
    r.powerCode = findCode(api, CodeList::Power, req.voltage);

    r.header = gridHeader(req.units);

    const ConditionValues c = toEngineUnits(readConditions(req.conditions, fmt), req.units);
    r.engineConditions = c;
    if (c.sh2 < kLowSuperheatLimit) {
        r.lowSuperheat = true;
        r.warning = std::string(kLowSuperheatWarning);
    }

    const bool imperial = req.units == UnitSystem::Imperial;
    if (api.KPX_GetModel != nullptr && api.KPX_Rating != nullptr &&
        api.KPX_GetModelData != nullptr) {
        int32_t start = 0;
        for (;;) {
            kpx::TextBuffer showName(kFill);
            int32_t next = 0;
            api.KPX_GetModel(start, r.refrigerantCode, r.familyCode, r.powerCode, &next,
                             showName.address());
            // A search must move forward; anything else ends it rather than loop.
            if (next <= start)
                break;
            start = next;

            // The filter is typed as UTF-8; the name may be 8-bit text of the catalogue.
            const std::string shown = showName.text();
            if (!passesModelFilter(shown, req.modelFilter) &&
                !passesModelFilter(displayText(shown), req.modelFilter))
                continue;
            // The selection covers the supplies of the chosen frequency only.
            const std::string dllp = modelData(api, next, "DLLP");
            const bool selected = keptAtFrequency(dllp, req.frequency);
            if (selected)
                ++r.matchedModels;
            else
                ++r.leftOutByFrequency;
            double capacity = 0, power = 0, current = 0, massFlow = 0, cop = 0;
            int32_t code = 0;
            if (req.speed.any()) {
                const PointRating at = rateAsRequested(api, next, c, req.speed).rating;
                code = at.code;
                capacity = at.capacity;
                power = at.power;
                current = at.current;
                massFlow = at.massFlow;
                cop = at.cop;
            } else
                code = api.KPX_Rating(next, "", "", 0, c.te, c.tc, c.sc, c.sh1, c.sh2, &capacity,
                                      &power, &current, &massFlow, &cop);
            if (code == KPX_PROPERTIES_FAILED) {
                std::string refrigerant = modelData(api, next, "Refrigerant");
                auto& failed = r.propertyFailures;
                if (std::find(failed.begin(), failed.end(), refrigerant) == failed.end())
                    failed.push_back(std::move(refrigerant));
            }
            if (code != KPX_CLEAN) {
                if (selected)
                    ++r.leftOutByCode[code];
                continue;
            }
            const std::string name = modelData(api, next, "Name");
            const std::string refrigerant = modelData(api, next, "Refrigerant");
            const std::string dllf = modelData(api, next, "DLLF");

            r.is50Hz = req.frequency == Frequency::Hz50;
            if (!selected)
                continue;

            if (imperial) {
                massFlow = kilogramsToPounds(massFlow);
                capacity = wattsToBtuh(capacity);
                cop = copToEer(cop);
            }
            GridRow row;
            row[1] = technologyText(dllf);
            row[2] = name;
            row[3] = refrigerant;
            row[4] = voltageText(dllp);
            row[5] = formatGrouped000(capacity, fmt);
            row[6] = formatGrouped000(power, fmt);
            row[7] = formatFixed2(cop, fmt);
            row[8] = formatFixed2(current, fmt);
            row[9] = formatGrouped000(massFlow * kSecondsPerHour, fmt);
            r.rows.push_back(std::move(row));
        }
    }
    r.resultCount = static_cast<int>(r.rows.size());

    const bool hasTarget = !req.targetCapacity.empty();
    r.order = hasTarget ? OrderBy::Capacity : req.order;
    sortRows(r.rows, r.order, fmt);

    r.selectedRow = 1;
    if (hasTarget) {
        r.selectedRow = applyCapacityWindow(r.rows, targetValue(req.targetCapacity, fmt), fmt);
        r.resultCount = static_cast<int>(r.rows.size());
    }
    for (int g = 1; g <= r.resultCount + 1; ++g)
        r.redRows.push_back(g);
    return r;
}

// ---- ordering ------------------------------------------------------------------------

namespace {

double numericKey(std::string_view text, const NumberFormat& fmt) {
    return parseNumber(text, fmt).value_or(0.0);
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

class KeyedSort {
public:
    KeyedSort(std::vector<GridRow>& rows, int column, bool ascending, bool numComp,
              const NumberFormat& fmt)
        : rows_(rows), column_(static_cast<std::size_t>(column)), ascending_(ascending),
          numComp_(numComp), fmt_(fmt) {}

    void run(int min, int max) {
        // Each row's key once: a copy of its text or its number, moved along with the row.
        const std::size_t n = rows_.size();
        texts_.resize(n);
        numbers_.resize(n);
        for (int i = min; i <= max; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (numComp_)
                numbers_[k] = numericKey(rows_[k][column_], fmt_);
            else
                texts_[k] = rows_[k][column_];
        }
        sort(min, max);
    }

private:
    // The key of row `a` against the pivot's key.
    int compareToPivot(std::size_t a) const {
        int r = 0;
        if (numComp_) {
            const double x = numbers_[a], y = pivotNumber_;
            r = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            r = sign(texts_[a].compare(pivotText_));
        }
        return ascending_ ? r : -r;
    }

    void moveRow(std::size_t from, std::size_t to) {
        rows_[to] = std::move(rows_[from]);
        if (numComp_)
            numbers_[to] = numbers_[from];
        else
            texts_[to] = std::move(texts_[from]);
    }

    // Whether rows min..max are already in key order. The first-row pivot then finds
    // every other key not below its own and moves nothing, level after level, so such a
    // range is left exactly as it is, and the check costs one pass instead of n passes.
    bool inOrder(int min, int max) const {
        for (int i = min; i < max; ++i) {
            const auto a = static_cast<std::size_t>(i);
            int r = 0;
            if (numComp_)
                r = numbers_[a + 1] < numbers_[a] ? -1 : (numbers_[a + 1] > numbers_[a] ? 1 : 0);
            else
                r = sign(texts_[a + 1].compare(texts_[a]));
            if ((ascending_ ? r : -r) < 0)
                return false;
        }
        return true;
    }

    void sort(int min, int max) {
        while (min < max) {
            if (inOrder(min, max))
                return;
            const auto m = static_cast<std::size_t>(min);
            GridRow buffer = std::move(rows_[m]);
            pivotNumber_ = numComp_ ? numbers_[m] : 0.0;
            pivotText_ = numComp_ ? std::string() : std::move(texts_[m]);
            int lo = min, hi = max;
            for (;;) {
                while (compareToPivot(static_cast<std::size_t>(hi)) >= 0) {
                    --hi;
                    if (hi <= lo)
                        break;
                }
                if (hi <= lo) {
                    putPivot(static_cast<std::size_t>(lo), buffer);
                    break;
                }
                moveRow(static_cast<std::size_t>(hi), static_cast<std::size_t>(lo));
                ++lo;
                while (compareToPivot(static_cast<std::size_t>(lo)) < 0) {
                    ++lo;
                    if (lo >= hi)
                        break;
                }
                if (lo >= hi) {
                    lo = hi;
                    putPivot(static_cast<std::size_t>(hi), buffer);
                    break;
                }
                moveRow(static_cast<std::size_t>(lo), static_cast<std::size_t>(hi));
            }
            // Recurse into the smaller part, loop over the larger one.
            if (lo - min < max - lo) {
                sort(min, lo - 1);
                min = lo + 1;
            } else {
                sort(lo + 1, max);
                max = lo - 1;
            }
        }
    }

    void putPivot(std::size_t at, GridRow& buffer) {
        rows_[at] = std::move(buffer);
        if (numComp_)
            numbers_[at] = pivotNumber_;
        else
            texts_[at] = std::move(pivotText_);
    }

    std::vector<GridRow>& rows_;
    std::size_t column_;
    bool ascending_;
    bool numComp_;
    const NumberFormat& fmt_;
    std::vector<std::string> texts_;
    std::vector<double> numbers_;
    std::string pivotText_;
    double pivotNumber_ = 0;
};

} // namespace

int CompareValues(std::string_view a, std::string_view b, bool numComp, bool ascending,
                  const NumberFormat& format) {
    int r = 0;
    if (numComp) {
        const double x = numericKey(a, format), y = numericKey(b, format);
        r = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        r = sign(a.compare(b));
    }
    return ascending ? r : -r;
}

void QSort(std::vector<GridRow>& rows, int column, int min, int max, bool ascending, bool numComp,
           const NumberFormat& format) {
    if (column < 0 || column >= kGridColumns)
        return;
    min = std::max(min, 0);
    max = std::min(max, static_cast<int>(rows.size()) - 1);
    if (min >= max)
        return;
    KeyedSort(rows, column, ascending, numComp, format).run(min, max);
}

void sortRows(std::vector<GridRow>& rows, OrderBy order, const NumberFormat& format) {
    const int last = static_cast<int>(rows.size()) - 1;
    if (order == OrderBy::ModelName)
        QSort(rows, kNameColumn, 0, last, true, false, format);
    else
        QSort(rows, kCapacityColumn, 0, last, true, true, format);
}

// ---- the capacity window -------------------------------------------------------------

double targetValue(std::string_view text, const NumberFormat& format) {
    return parseNumber(text, format).value_or(0.0);
}

int nearestRow(const std::vector<GridRow>& rows, double target, const NumberFormat& format) {
    if (rows.empty())
        return 1;
    std::size_t best = 0;
    double bestValue = numericKey(rows[0][kCapacityColumn], format);
    for (std::size_t g = 0; g < rows.size(); ++g) {
        const double v = numericKey(rows[g][kCapacityColumn], format);
        if (std::fabs(target - v) < std::fabs(bestValue - target)) {
            best = g;
            bestValue = v;
        }
    }
    return static_cast<int>(best) + 1;
}

int applyCapacityWindow(std::vector<GridRow>& rows, double target, const NumberFormat& format) {
    int best = nearestRow(rows, target, format);
    if (best > 5) {
        rows.erase(rows.begin(), rows.begin() + (best - 6));
        best = 6;
    }
    if (static_cast<int>(rows.size()) >= best + 6)
        rows.erase(rows.begin() + (best + 5), rows.end());
    return best;
}

std::string leftOutSummary(const CalcResult& r, Frequency frequency) {
    std::ostringstream out;
    if (r.matchedModels == 0)
        out << "No model matches the selection.\n";
    else
        out << r.matchedModels << (r.matchedModels == 1 ? " model matches" : " models match")
            << " the selection; none is rated cleanly at these conditions.\n";
    for (const auto& [code, count] : r.leftOutByCode)
        out << "  " << count << " left out (code " << code << "): " << ratingReason(code) << "\n";
    if (r.leftOutByFrequency > 0)
        out << "  " << r.leftOutByFrequency
            << (r.leftOutByFrequency == 1 ? " other model has" : " other models have")
            << " a power supply not for " << frequencyCaption(frequency) << "\n";
    return out.str();
}

} // namespace kv
