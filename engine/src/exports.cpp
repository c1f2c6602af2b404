// The C interface of the engine: thin calls into one process-wide catalogue. No
// exception crosses it.
#include "kpx_calc.h"

#include <asere32.h>

#include <optional>

#include "kpx/catalogue.h"
#include "kpx/figures.h"
#include "kpx/rating.h"
#include "kpx/text_out.h"
#include "kpx/transcritical.h"

namespace {

kpx::Catalogue& catalogue() {
    static kpx::Catalogue instance;
    return instance;
}

// The property library linked with the engine.
class LinkedProperties final : public kpx::PropertyProvider,
                               public kpx::IsobarProperties,
                               public kpx::StateProperties {
public:
    void revision(char** text) override { ILK_Revision(text); }
    void setDataDirectory(const char* directory) override { ILK_SetDataDirectory(directory); }
    std::int32_t saturationPressure(const char* r, double t, double* p) override {
        return ILK_SaturationPressure(r, t, p);
    }
    std::int32_t bubbleTemperature(const char* r, double p, double* t) override {
        return ILK_BubbleTemperature(r, p, t);
    }
    std::int32_t liquidEnthalpy(const char* r, double t, double* h) override {
        return ILK_LiquidEnthalpy(r, t, h);
    }
    std::int32_t vapourEnthalpy(const char* r, double t, double p, double* h) override {
        return ILK_VapourEnthalpy(r, t, p, h);
    }
    std::int32_t vapourVolume(const char* r, double t, double p, double* v) override {
        return ILK_VapourVolume(r, t, p, v);
    }
    std::int32_t vapourEntropy(const char* r, double t, double p, double* s) override {
        return ILK_VapourEntropy(r, t, p, s);
    }
    std::int32_t vapourStatePS(const char* r, double p, double s, double* t, double* h) override {
        return ILK_VapourStatePS(r, p, s, t, h);
    }
    std::int32_t vapourStatePH(const char* r, double p, double h, double* t, double* s) override {
        return ILK_VapourStatePH(r, p, h, t, s);
    }
    std::int32_t stateTP(const char* r, double t, double p, double* h, double* s,
                         double* rho) override {
        return ILK_StateTP(r, t, p, h, s, rho);
    }
    std::int32_t criticalPoint(const char* r, double* t, double* p) override {
        return ILK_CriticalPoint(r, t, p);
    }
};

// Runs the body of an export: no exception leaves the library; one that reaches here
// ends the call with `failure`.
template <class Body> std::int32_t guarded(std::int32_t failure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

bool usable(char** text) {
    return text != nullptr && *text != nullptr;
}

std::int32_t NextCode(const char* prefix, std::int32_t index, std::int32_t* next, char** text) {
    if (next == nullptr || !usable(text))
        return -1;
    return guarded(-1, [&] {
        *next = 0;
        const auto hit = catalogue().NextCode(prefix, index);
        if (!hit)
            return -1;
        kpx::writeText(*text, hit->text);
        *next = hit->number;
        return 0;
    });
}

// The model a rating names: by number (1-based), or with number 0 by show name,
// refrigerant and frequency.
std::optional<std::size_t> modelPosition(const kpx::Catalogue& c, std::int32_t model,
                                         const char* showName, const char* refrigerant,
                                         std::int32_t frequency) {
    if (!c.CatalogueLoaded())
        return std::nullopt;
    if (model != 0) {
        if (model < 0 || static_cast<std::size_t>(model) > c.modelCount())
            return std::nullopt;
        return static_cast<std::size_t>(model) - 1;
    }
    if (showName == nullptr || refrigerant == nullptr)
        return std::nullopt;
    return c.findModel(showName, refrigerant, frequency);
}

// A rating of a model named as the exports name it, with what it was made of.
struct Rated {
    const kpx::Catalogue& catalogue;
    std::size_t position;
    const kpx::RatingRecord& record;
    const kpx::Conditions& conditions;
    const kpx::RatingResult& result;
    LinkedProperties& properties;
};

// Runs `body(catalogue, position)` on the model the exports name; KPX_NOT_FOUND where there
// is no such model (or no catalogue) or an exception ends the call.
template <class Body>
std::int32_t onModel(std::int32_t model, const char* showName, const char* refrigerant,
                     std::int32_t frequency, Body body) {
    return guarded(KPX_NOT_FOUND, [&]() -> std::int32_t {
        const kpx::Catalogue& c = catalogue();
        const auto position = modelPosition(c, model, showName, refrigerant, frequency);
        if (!position)
            return KPX_NOT_FOUND;
        return body(c, *position);
    });
}

// Rates the model and hands the rating to `use`; its code, as onModel's.
template <class Use>
std::int32_t rateModel(std::int32_t model, const char* showName, const char* refrigerant,
                       std::int32_t frequency, const kpx::Conditions& conditions, Use use) {
    return onModel(model, showName, refrigerant, frequency,
                   [&](const kpx::Catalogue& c, std::size_t position) {
                       LinkedProperties properties;
                       const kpx::RatingRecord record = c.ratingRecord(position);
                       const kpx::RatingResult r =
                           kpx::rate(record, conditions, properties, c.DataDirectory().c_str());
                       use(Rated{c, position, record, conditions, r, properties});
                       return r.code;
                   });
}

// Rates a model transcritical with `rate(columns, refrigerant, properties, directory)`
// and writes the result to *result; its code, as onModel's.
template <class Rate>
std::int32_t rateGasCooler(std::int32_t model, const char* showName, const char* refrigerant,
                           std::int32_t frequency, KPX_TranscriticalResult* result, Rate rate) {
    if (result == nullptr)
        return KPX_NOT_FOUND;
    *result = kpx::noTranscriticalResult();
    return onModel(model, showName, refrigerant, frequency,
                   [&](const kpx::Catalogue& c, std::size_t position) {
                       LinkedProperties properties;
                       // A field's text is zero-terminated in the catalogue's memory; a
                       // model without one names no fluid.
                       const std::string_view fluid = c.FieldText(position, "Refrigerant");
                       *result =
                           rate(c.gasCoolerColumns(position), fluid.empty() ? "" : fluid.data(),
                                properties, c.DataDirectory().c_str());
                       return result->code;
                   });
}

} // namespace

extern "C" {

KPX_EXPORT int32_t KPX_CALL KPX_Initialize(const char* directory) {
    // Out of memory while loading: what was stored so far stays.
    return guarded(0, [&] {
        catalogue().initialize(directory);
        return 0;
    });
}

KPX_EXPORT int32_t KPX_CALL KPX_GetRefrigerant(int32_t index, int32_t* next, char** text) {
    return NextCode(kpx::CodeListPrefix::kRefrigerants, index, next, text);
}

KPX_EXPORT int32_t KPX_CALL KPX_GetFamily(int32_t index, int32_t* next, char** text) {
    return NextCode(kpx::CodeListPrefix::kFamilies, index, next, text);
}

KPX_EXPORT int32_t KPX_CALL KPX_GetPower(int32_t index, int32_t* next, char** text) {
    return NextCode(kpx::CodeListPrefix::kPowerSupplies, index, next, text);
}

KPX_EXPORT int32_t KPX_CALL KPX_GetModel(int32_t start, int32_t refrigerant, int32_t family,
                                         int32_t power, int32_t* next, char** text) {
    return guarded(-1, [&]() -> int32_t {
        const kpx::Catalogue& c = catalogue();
        if (next == nullptr || !usable(text) || !c.CatalogueLoaded())
            return -1;
        *next = 0;
        if (start < 0)
            return -1;
        const auto position =
            c.findModel(static_cast<std::size_t>(start), refrigerant, family, power);
        if (!position)
            return -1;
        kpx::writeText(*text, c.showName(*position));
        *next = static_cast<int32_t>(*position + 1);
        return 0;
    });
}

KPX_EXPORT int32_t KPX_CALL KPX_GetModelData(int32_t model, const char* column, char** text) {
    return guarded(-1, [&]() -> int32_t {
        const kpx::Catalogue& c = catalogue();
        if (column == nullptr || !usable(text) || !c.CatalogueLoaded())
            return -1;
        if (model < 1 || static_cast<std::size_t>(model) > c.modelCount())
            return 1;
        return kpx::writeText(*text, c.FieldText(static_cast<std::size_t>(model) - 1, column));
    });
}

KPX_EXPORT int32_t KPX_CALL KPX_Rating(int32_t model, const char* showName, const char* refrigerant,
                                       int32_t frequency, double te, double tc, double sc,
                                       double sh1, double sh2, double* capacity, double* power,
                                       double* current, double* massFlow, double* cop) {
    double* outputs[] = {capacity, power, current, massFlow, cop};
    bool allOutputs = true;
    for (double* out : outputs) {
        if (out != nullptr)
            *out = kpx::NotRated;
        else
            allOutputs = false;
    }
    if (!allOutputs)
        return KPX_NOT_FOUND;
    return rateModel(model, showName, refrigerant, frequency, {te, tc, sc, sh1, sh2},
                     [&](const Rated& rated) {
                         const kpx::RatingResult& r = rated.result;
                         *capacity = r.capacity;
                         *power = r.power;
                         *current = r.current;
                         *massFlow = r.massFlow;
                         *cop = r.cop;
                     });
}

KPX_EXPORT int32_t KPX_CALL KPX_RatingFigures(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency, double te,
                                              double tc, double sc, double sh1, double sh2,
                                              KPX_Figures* figures) {
    if (figures == nullptr)
        return KPX_NOT_FOUND;
    *figures = kpx::noFigures();
    return rateModel(model, showName, refrigerant, frequency, {te, tc, sc, sh1, sh2},
                     [&](const Rated& rated) {
                         *figures = kpx::ratingFigures(
                             rated.record, rated.catalogue.figureColumns(rated.position),
                             rated.conditions, rated.result, rated.properties, rated.properties);
                     });
}

KPX_EXPORT int32_t KPX_CALL KPX_RatingTranscritical(int32_t model, const char* showName,
                                                    const char* refrigerant, int32_t frequency,
                                                    double te, double pgc, double tgc, double sh1,
                                                    double sh2, double liquidLineTemperature,
                                                    KPX_TranscriticalResult* result) {
    const kpx::GasCoolerPoint point{te, pgc, tgc, sh1, sh2, liquidLineTemperature};
    return rateGasCooler(model, showName, refrigerant, frequency, result,
                         [&](const kpx::GasCoolerColumns& columns, const char* fluid,
                             LinkedProperties& properties, const char* directory) {
                             return kpx::rateTranscritical(columns, fluid, point, properties,
                                                           properties, directory);
                         });
}

KPX_EXPORT int32_t KPX_CALL KPX_OptimumGasCoolerPressure(int32_t model, const char* showName,
                                                         const char* refrigerant, int32_t frequency,
                                                         double te, double tgc, double sh1,
                                                         double sh2, double liquidLineTemperature,
                                                         KPX_TranscriticalResult* result) {
    const kpx::GasCoolerPoint point{te, 0, tgc, sh1, sh2, liquidLineTemperature};
    return rateGasCooler(model, showName, refrigerant, frequency, result,
                         [&](const kpx::GasCoolerColumns& columns, const char* fluid,
                             LinkedProperties& properties, const char* directory) {
                             return kpx::optimumGasCoolerPressure(columns, fluid, point, properties,
                                                                  properties, directory);
                         });
}

} // extern "C"

// Variable-speed models.
namespace {

// The model's speed sets for a speed export, or the code that ends the call:
// KPX_NOT_FOUND, KPX_FIXED_SPEED or KPX_SPEED_DATA_INVALID.
struct SpeedModelOf {
    std::int32_t code = KPX_NOT_FOUND;
    const kpx::SpeedModel* model = nullptr;
    kpx::RatingRecord record;
};
SpeedModelOf speedModelOf(std::int32_t model, const char* showName, const char* refrigerant,
                          std::int32_t frequency) {
    SpeedModelOf found;
    const kpx::Catalogue& c = catalogue();
    const auto position = modelPosition(c, model, showName, refrigerant, frequency);
    if (!position)
        return found;
    found.model = c.speedModel(*position);
    found.record = c.ratingRecord(*position);
    found.code = found.model == nullptr          ? std::int32_t{KPX_FIXED_SPEED}
                 : !found.model->problem.empty() ? std::int32_t{KPX_SPEED_DATA_INVALID}
                                                 : std::int32_t{KPX_CLEAN};
    return found;
}

// Every output at KPX_NOT_RATED; false when one is null.
bool clearOutputs(std::initializer_list<double*> outputs) {
    bool all = true;
    for (double* out : outputs)
        if (out != nullptr)
            *out = kpx::NotRated;
        else
            all = false;
    return all;
}

void writeRating(const kpx::RatingResult& r, double* capacity, double* power, double* current,
                 double* massFlow, double* cop) {
    *capacity = r.capacity;
    *power = r.power;
    *current = r.current;
    *massFlow = r.massFlow;
    *cop = r.cop;
}

// Runs a speed export's body on the model's usable speed sets; the code that ends the call
// otherwise (KPX_NOT_FOUND also for an exception).
template <class Body>
std::int32_t withSpeedModel(std::int32_t model, const char* showName, const char* refrigerant,
                            std::int32_t frequency, Body body) {
    return guarded(KPX_NOT_FOUND, [&]() -> std::int32_t {
        const SpeedModelOf found = speedModelOf(model, showName, refrigerant, frequency);
        if (found.code != KPX_CLEAN)
            return found.code;
        return body(*found.model, found.record.refrigerant);
    });
}

} // namespace

extern "C" {

KPX_EXPORT int32_t KPX_CALL KPX_SpeedData(int32_t model, const char* showName,
                                          const char* refrigerant, int32_t frequency,
                                          KPX_SpeedInfo* info, char** text) {
    return guarded(KPX_NOT_FOUND, [&]() -> int32_t {
        if (info == nullptr)
            return KPX_NOT_FOUND;
        *info = KPX_SpeedInfo{kpx::NotRated, kpx::NotRated, kpx::NotRated, 0, {}};
        const SpeedModelOf found = speedModelOf(model, showName, refrigerant, frequency);
        if (found.code == KPX_SPEED_DATA_INVALID && usable(text))
            kpx::writeText(*text, found.model->problem);
        if (found.code != KPX_CLEAN)
            return found.code;
        const kpx::SpeedModel& m = *found.model;
        info->nominalSpeed = m.nominal;
        info->minSpeed = m.minimum;
        info->maxSpeed = m.maximum;
        info->setCount = static_cast<int32_t>(m.sets.size());
        for (std::size_t i = 0; i < m.sets.size(); ++i)
            info->speeds[i] = m.sets[i].speed;
        return KPX_CLEAN;
    });
}

KPX_EXPORT int32_t KPX_CALL KPX_RatingAtSpeed(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency,
                                              double speed, double te, double tc, double sc,
                                              double sh1, double sh2, double* capacity,
                                              double* power, double* current, double* massFlow,
                                              double* cop) {
    if (!clearOutputs({capacity, power, current, massFlow, cop}))
        return KPX_NOT_FOUND;
    return withSpeedModel(model, showName, refrigerant, frequency,
                          [&](const kpx::SpeedModel& m, const char* fluid) {
                              LinkedProperties properties;
                              const kpx::RatingResult r =
                                  kpx::rateAtSpeed(m, fluid, speed, {te, tc, sc, sh1, sh2},
                                                   properties, catalogue().DataDirectory().c_str());
                              writeRating(r, capacity, power, current, massFlow, cop);
                              return r.code;
                          });
}

KPX_EXPORT int32_t KPX_CALL KPX_SpeedRange(int32_t model, const char* showName,
                                           const char* refrigerant, int32_t frequency, double te,
                                           double tc, double sc, double sh1, double sh2,
                                           double* minSpeed, double* maxSpeed) {
    if (!clearOutputs({minSpeed, maxSpeed}))
        return KPX_NOT_FOUND;
    return withSpeedModel(model, showName, refrigerant, frequency,
                          [&](const kpx::SpeedModel& m, const char*) -> int32_t {
                              const auto range = kpx::allowedSpeeds(m, {te, tc, sc, sh1, sh2});
                              if (!range)
                                  return KPX_NO_SPEED_IN_ENVELOPE;
                              *minSpeed = range->low;
                              *maxSpeed = range->high;
                              return KPX_CLEAN;
                          });
}

KPX_EXPORT int32_t KPX_CALL KPX_MatchCapacity(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency,
                                              double requiredCapacity, double te, double tc,
                                              double sc, double sh1, double sh2, double* speed,
                                              double* capacity, double* power, double* current,
                                              double* massFlow, double* cop) {
    if (!clearOutputs({speed, capacity, power, current, massFlow, cop}))
        return KPX_NOT_FOUND;
    return withSpeedModel(
        model, showName, refrigerant, frequency, [&](const kpx::SpeedModel& m, const char* fluid) {
            LinkedProperties properties;
            const kpx::SpeedMatch match =
                kpx::matchCapacity(m, fluid, requiredCapacity, {te, tc, sc, sh1, sh2}, properties,
                                   catalogue().DataDirectory().c_str());
            if (match.result.code >= 0) {
                *speed = match.speed;
                writeRating(match.result, capacity, power, current, massFlow, cop);
            }
            return match.result.code;
        });
}

} // extern "C"
