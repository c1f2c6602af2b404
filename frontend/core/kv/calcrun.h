// The calculation run behind the Calculate button, the results grid's header, and the
// ordering and capacity window that work on the grid's rows.
//
// The results grid's cell texts are the only store of the results. The run therefore
// produces the rows as texts (10 columns, column 0 the narrow fixed column), and the
// ordering and the capacity window take rows of texts, so the window can read its grid
// back into rows, call these functions and write the rows back.
#pragma once

#include "kv/binding.h"
#include "kv/codelists.h"
#include "kv/speedrating.h"
#include "kv/units.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kGridColumns = 10;
inline constexpr int kNameColumn = 2;
inline constexpr int kCapacityColumn = 5;

// One grid row: the texts of columns 0 to 9.
using GridRow = std::array<std::string, kGridColumns>;

// The state of the option pair `opt_order`: index 0 "Model name", index 1 "Cooling capacity".
enum class OrderBy { ModelName = 0, Capacity = 1 };

inline constexpr std::string_view kLowSuperheatWarning = "Low superheat. Risk on liquid return !";
inline constexpr std::string_view kStaleResultsWarning =
    "Displayed results are not under these conditions";
// Sh2 below this (in K) gives the low-superheat warning; exactly this gives none.
inline constexpr double kLowSuperheatLimit = 5.0;

// ---- the grid header ---------------------------------------------------------------

inline constexpr int kHeaderRowHeightTwips = 500;

struct GridHeader {
    std::array<std::string_view, kGridColumns> texts;
    std::array<int, kGridColumns> widthsTwips;
    std::array<int, kGridColumns> widthsPixels; // at 96 dpi
    int rowHeightTwips = kHeaderRowHeightTwips;
    int rowHeightPixels = 0;
};

// Twips (1440 per inch) to pixels at 96 dpi, rounded to the nearest pixel.
int twipsToPixels(int twips);

// What InitGridHeader writes for a unit system.
GridHeader gridHeader(UnitSystem system);

// ---- the model's texts -------------------------------------------------------------

// One column of a model's catalogue record (KPX_GetModelData), engine bytes.
std::string modelData(const EngineApi& api, int32_t model, const char* column);
// "Scroll" for "1", "2", "3"; "Reciprocating" for "4", "5"; otherwise empty.
std::string technologyText(std::string_view dllf);
// The fixed voltage text of a power-supply number ("4" -> "400/3/50"); any other text is
// shown as it is.
std::string voltageText(std::string_view dllp);
// Whether the frequency check keeps a model with this "DLLP" text.
bool keptAtFrequency(std::string_view dllp, Frequency frequency);
// The model filter: the filter in upper case must occur exactly in the model's ShowName;
// an empty filter lets every model pass. Upper-casing covers ASCII letters. The run
// also matches the ShowName's display text (displaytext.h) against it.
bool passesModelFilter(std::string_view showName, std::string_view filter);
// "Results : " followed by the count.
std::string resultsLabel(int resultCount);

// ---- the calculation run -------------------------------------------------------------

// The window's inputs of one run, as the controls hold them.
struct CalcRequest {
    std::string refrigerant = std::string(kAllItem); // selected text of cbRefrig
    std::string family = std::string(kAllItem);      // selected text of cbFamily
    std::string voltage = std::string(kAllItem);     // cbVoltage; empty = no item selected
    Frequency frequency = Frequency::Hz50;
    ConditionTexts conditions; // txtTe .. txtSh2, in the unit system shown
    UnitSystem units = UnitSystem::SI;
    std::string modelFilter;    // txtModelFilter
    std::string targetCapacity; // txtCapacity, in the unit system shown
    OrderBy order = OrderBy::ModelName;
    NumberFormat format; // the user's regional format
    // Variable-speed models at a speed, or at the speed that meets a capacity (W); none:
    // every model through KPX_Rating.
    SpeedRequest speed;
};

struct CalcResult {
    // Result rows, grid rows 1 to resultCount in order (the header row and the trailing
    // empty row are not included).
    std::vector<GridRow> rows;
    int resultCount = 0;
    // Grid row (1-based) to select across columns 1 to 9: the row nearest the target, or
    // row 1; with no results that is the trailing empty row.
    int selectedRow = 1;
    // The order option after the run: a target capacity selects "Cooling capacity".
    OrderBy order = OrderBy::ModelName;
    bool lowSuperheat = false;
    // txtWarning after the run: empty or the low-superheat warning.
    std::string warning;
    // Is50Hz after the run: set by every model rated cleanly; no value when none was, so
    // the window keeps its previous value.
    std::optional<bool> is50Hz;
    // Grid rows whose capacity cell is red: 1 to resultCount + 1 (the empty row included).
    std::vector<int> redRows;
    GridHeader header;
    ConditionValues engineConditions; // Te, Tc in °C, Sc, Sh1, Sh2 in K
    // The refrigerants (engine bytes, each once) of the models whose rating the property
    // library could not serve (KPX_PROPERTIES_FAILED); fluidProblems() tells which fluid
    // file failed.
    std::vector<std::string> propertyFailures;
    // What the run left out: the models of the selection (those that passed the model
    // filter with a supply of the chosen frequency), those of them refused or rated with a
    // warning (by RatingCode), and the models that passed the filter with a supply of the
    // other frequency, which the selection doesn't cover.
    int matchedModels = 0;
    std::map<int32_t, int> leftOutByCode;
    int leftOutByFrequency = 0;
    int32_t refrigerantCode = 0, familyCode = 0, powerCode = 0;
};

// Runs one calculation against the engine: selection codes, conditions, model search,
// filter, rating, formatting, ordering and the capacity window.
CalcResult runCalculation(const EngineApi& api, const CalcRequest& request);

// Why a run shows no model: how many matched the selection and, per reason, how many
// were left out; one line each, each ending in "\n".
std::string leftOutSummary(const CalcResult& result, Frequency frequency);

// ---- ordering ------------------------------------------------------------------------

// -1, 0 or 1. NumComp converts both texts with the regional format (thousands separators
// accepted; a text that doesn't convert counts as 0); otherwise the texts are compared
// by character codes. Ascending false reverses the sign.
int CompareValues(std::string_view a, std::string_view b, bool numComp, bool ascending,
                  const NumberFormat& format);

// Sorts rows[min..max] (indices into `rows`, inclusive) by column `column`: quicksort with
// the first row of the range as pivot and a moving hole. Each row's key is converted
// once per call, and only the smaller part is recursed into, so a long list already in
// key order needs no deep stack. Rows with equal keys end where that quicksort puts them.
void QSort(std::vector<GridRow>& rows, int column, int min, int max, bool ascending, bool numComp,
           const NumberFormat& format);

// Sorts all rows as the order handler does: by model name as text, or by capacity as
// numbers, ascending.
void sortRows(std::vector<GridRow>& rows, OrderBy order, const NumberFormat& format);

// ---- the capacity window -------------------------------------------------------------

// The grid row (1-based) whose capacity is nearest the target; the earlier row on a tie;
// 1 when there are no rows.
int nearestRow(const std::vector<GridRow>& rows, double target, const NumberFormat& format);

// Keeps at most 5 rows above and 5 below the row nearest the target and gives that row's
// grid number (1-based) after the cut.
int applyCapacityWindow(std::vector<GridRow>& rows, double target, const NumberFormat& format);

// The target of the capacity window: the text converted with the regional format (not
// GetDoubleField); 0 when it doesn't convert.
double targetValue(std::string_view text, const NumberFormat& format);

} // namespace kv
