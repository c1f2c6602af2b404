/* Korvane Vantrix rating engine: the C interface of libKPX_Calc.so.
 *
 * Text results: `text` is the address of a variable that holds a pointer to the
 * caller's buffer of KPX_TEXT_SIZE bytes; the engine writes at most KPX_TEXT_SIZE - 1
 * bytes and a zero byte.
 *
 * Callers in C++ that find the exports by name take their types from these declarations
 * (decltype(&KPX_Rating)), calling convention included.
 */
#ifndef KPX_CALC_H
#define KPX_CALC_H

#include <stdint.h>

/* Size of the caller's buffer for a text result, the zero byte included. */
#define KPX_TEXT_SIZE 256

#if defined(_WIN32) && !defined(_WIN64)
#define KPX_CALL __stdcall
#else
#define KPX_CALL
#endif

/* Windows: the module-definition file names the exports. */
#if defined(KPX_CALC_BUILDING) && !defined(_WIN32)
#define KPX_EXPORT __attribute__((visibility("default")))
#else
#define KPX_EXPORT
#endif

/* The result of KPX_Rating: 0 for a clean rating, a positive code when the figures are
 * computed but carry a warning, a negative code when nothing was computed (every output
 * then reads KPX_NOT_RATED). KPX_RATING_CODES(X) expands X(name, value) once per code
 * the engine returns, in this order; each name is a constant of enum KpxRatingCode. */
#define KPX_RATING_CODES(X)                                                                        \
    X(KPX_CLEAN, 0)                /* within the envelope */                                       \
    X(KPX_NOT_FOUND, -1)           /* model not found, or no catalogue loaded */                   \
    X(KPX_TE_TOO_LOW, -2)          /* Te below the outer limit */                                  \
    X(KPX_TE_TOO_HIGH, -3)         /* Te above the outer limit */                                  \
    X(KPX_TC_TOO_LOW, -4)          /* Tc below the outer limit, or beyond the limit for            \
                                      this superheat and both tolerances */                        \
    X(KPX_TC_TOO_HIGH, -5)         /* Tc above the outer limit */                                  \
    X(KPX_SUPERHEAT_TOO_HIGH, -6)  /* Sh2 beyond a superheat bound and its tolerance */            \
    X(KPX_SUBCOOLING_TOO_HIGH, -7) /* Sc above its maximum */                                      \
    X(KPX_SUPERHEAT_NEGATIVE, -8)  /* Sh1 or Sh2 negative */                                       \
    X(KPX_SUBCOOLING_NEGATIVE, -9) /* Sc negative */                                               \
    X(KPX_PROPERTIES_FAILED, -10)  /* the property library could not serve the point */            \
    X(KPX_TE_BELOW_INNER, 2)       /* Te below the continuous-duty range */                        \
    X(KPX_TE_ABOVE_INNER, 3)       /* Te above the continuous-duty range */                        \
    X(KPX_TC_BELOW_INNER, 4)       /* Tc below the continuous-duty range */                        \
    X(KPX_TC_ABOVE_INNER, 5)       /* Tc above the continuous-duty range */                        \
    X(KPX_SUPERHEAT_HIGH, 6)       /* Sh2 beyond a superheat bound, within its tolerance */        \
    X(KPX_SH2_BELOW_SH1, 10)       /* total superheat below the evaporator superheat */            \
    X(KPX_BELOW_K_LINE, 11)        /* pressure ratio below the minimum */                          \
    X(KPX_TC_ABOVE_LIMIT, 15)      /* Tc above the limit for this superheat, within the            \
                                      tolerances */

#define KPX_RATING_CODE_ENUMERATOR_(name, value) name = value,
#define KPX_RATING_CODE_COUNTED_(name, value) +1
enum KpxRatingCode {
    KPX_RATING_CODES(KPX_RATING_CODE_ENUMERATOR_)
    /* How many codes KPX_RATING_CODES lists (itself no code). */
    KPX_RATING_CODE_COUNT = 0 KPX_RATING_CODES(KPX_RATING_CODE_COUNTED_)
};
#undef KPX_RATING_CODE_ENUMERATOR_
#undef KPX_RATING_CODE_COUNTED_

/* Every output of KPX_Rating until a rating succeeds. */
#define KPX_NOT_RATED (-9999.999)

#ifdef __cplusplus
extern "C" {
#endif

KPX_EXPORT int32_t KPX_CALL KPX_Initialize(const char* directory);
KPX_EXPORT int32_t KPX_CALL KPX_GetRefrigerant(int32_t index, int32_t* next, char** text);
KPX_EXPORT int32_t KPX_CALL KPX_GetFamily(int32_t index, int32_t* next, char** text);
KPX_EXPORT int32_t KPX_CALL KPX_GetPower(int32_t index, int32_t* next, char** text);
KPX_EXPORT int32_t KPX_CALL KPX_GetModel(int32_t start, int32_t refrigerant, int32_t family,
                                         int32_t power, int32_t* next, char** text);
KPX_EXPORT int32_t KPX_CALL KPX_GetModelData(int32_t model, const char* column, char** text);
KPX_EXPORT int32_t KPX_CALL KPX_Rating(int32_t model, const char* showName, const char* refrigerant,
                                       int32_t frequency, double te, double tc, double sc,
                                       double sh1, double sh2, double* capacity, double* power,
                                       double* current, double* massFlow, double* cop);

#ifdef __cplusplus
}
#endif

/* Beyond the seven exports above: the figures an engineer reads besides capacity, for one
 * rating. KPX_RatingFigures takes the arguments of KPX_Rating (without its five outputs)
 * and returns the same rating code; it fills *figures whenever figures is not null,
 * every number NaN that could not be worked out. Units: pressures Pa (absolute),
 * temperatures degC, powers W, mass flow kg/s.
 *
 * Where the catalogue has no discharge-temperature or heat-rejection polynomial, those two
 * figures come from the compressor's energy balance, with a heat loss from the shell of a
 * fraction of the power input by technology (heatLossFraction), and are flagged as
 * estimated. An isentropic or volumetric efficiency above 1 is a fault of the catalogue's
 * data: it is flagged and given as NaN, never as a figure. */
typedef struct KPX_Figures {
    double suctionPressure;         /* dew pressure at Te */
    double suctionDewPoint;         /* Te */
    double dischargePressure;       /* dew pressure at Tc */
    double pressureRatio;           /* discharge over suction pressure */
    double suctionGasTemperature;   /* Te + Sh2, at the compressor's inlet */
    double capacity;                /* as KPX_Rating */
    double power;                   /* as KPX_Rating */
    double massFlow;                /* as KPX_Rating */
    double heatRejection;           /* condenser duty */
    double dischargeTemperature;    /* at the compressor's outlet */
    double maxDischargeTemperature; /* the model's limit; NaN where the catalogue has none */
    double isentropicEfficiency;    /* mass flow x isentropic enthalpy rise / power input */
    double volumetricEfficiency;    /* mass flow / (suction density x swept volume) */
    double heatingCapacity;         /* = heatRejection */
    double heatingCop;              /* heatingCapacity / power */
    double heatLossFraction;        /* the shell's heat loss assumed, of the power input */
    int32_t flags;                  /* KPX_FIGURE_* bits */
    int32_t status;                 /* KPX_FIGURES_* */
} KPX_Figures;

/* KPX_Figures.status */
#define KPX_FIGURES_OK 0
#define KPX_FIGURES_NOT_RATED 1 /* the rating code is negative: no figures */
#define KPX_FIGURES_SUPERCRITICAL                                                                  \
    2                                   /* Tc above the top of the refrigerant's saturation        \
                                           curve: no condensing, no discharge pressure */
#define KPX_FIGURES_PROPERTIES_FAILED 3 /* a property call failed: figures NaN */

/* KPX_Figures.flags */
#define KPX_FIGURE_DISCHARGE_ESTIMATED 0x1      /* from the energy balance */
#define KPX_FIGURE_HEAT_REJECTION_ESTIMATED 0x2 /* from the energy balance */
#define KPX_FIGURE_NO_DISPLACEMENT                                                                 \
    0x4                                    /* no displacement or speed: no volumetric              \
                                              efficiency */
#define KPX_FIGURE_ABOVE_MAX_DISCHARGE 0x8 /* discharge temperature above the maximum */
#define KPX_FIGURE_ISENTROPIC_IMPLAUSIBLE                                                          \
    0x10                                       /* isentropic efficiency above 1 (or not            \
                                                  positive): a data problem */
#define KPX_FIGURE_VOLUMETRIC_IMPLAUSIBLE 0x20 /* volumetric efficiency above 1 */
#define KPX_FIGURE_ISENTROPIC_WET 0x40         /* the isentropic end state is not vapour */

#ifdef __cplusplus
extern "C" {
#endif

KPX_EXPORT int32_t KPX_CALL KPX_RatingFigures(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency, double te,
                                              double tc, double sc, double sh1, double sh2,
                                              KPX_Figures* figures);

#ifdef __cplusplus
}
#endif

/* Transcritical rating: a model's gas-cooler curves, for a compressor whose discharge lies
 * above the refrigerant's critical pressure (R744). The point is the saturated suction
 * temperature te (degC), the gas-cooler pressure pgc (Pa, absolute), the gas-cooler outlet
 * temperature tgc (degC), the superheats sh1 (useful, in the evaporator) and sh2 (total, at
 * the compressor's inlet) in K, and optionally the temperature of the liquid line after
 * the gas cooler, at pgc (degC; NaN: expansion straight from the gas-cooler outlet).
 *
 * The model's curves: capacity in te and the gas-cooler outlet enthalpy (J/kg, on the
 * reference of 200 kJ/kg for saturated liquid at 0 degC), power input in te and pgc,
 * capacity at the model's base superheat. The mass flow is the capacity curve over the
 * rated enthalpy difference, corrected by the suction density; the capacity is that mass
 * flow times the enthalpy difference across the evaporator. An outlet enthalpy outside
 * the capacity curve's range takes the mass flow at the nearer end of the range (a
 * warning). Codes: KPX_TRANSCRITICAL_CODES, with KPX_CLEAN, KPX_NOT_FOUND,
 * KPX_TE_TOO_LOW, KPX_TE_TOO_HIGH, KPX_SUPERHEAT_NEGATIVE, KPX_SH2_BELOW_SH1 and
 * KPX_PROPERTIES_FAILED of the rating codes. A negative code leaves every number of the
 * result NaN. */
#define KPX_TRANSCRITICAL_CODES(X)                                                                 \
    X(KPX_NO_GAS_COOLER_CURVES, -31)       /* the model has no transcritical curves */             \
    X(KPX_GAS_COOLER_OUTLET_VAPOUR, -32)   /* pgc below the critical pressure and tgc at or        \
                                              above its saturation temperature */                  \
    X(KPX_GAS_COOLER_BELOW_SUCTION, -33)   /* tgc not above te */                                  \
    X(KPX_GAS_COOLER_PRESSURE_LOW, -34)    /* pgc below the curves' pressure range */              \
    X(KPX_GAS_COOLER_PRESSURE_HIGH, -35)   /* pgc above the pressure range or the model's          \
                                              maximum discharge pressure */                        \
    X(KPX_PRESSURE_RATIO_TOO_HIGH, -36)    /* pgc over suction pressure above the maximum */       \
    X(KPX_LIQUID_LINE_INVALID, -37)        /* liquid line above tgc or not above te */             \
    X(KPX_NO_PRESSURE_IN_ENVELOPE, -38)    /* optimum: no pressure of the envelope rates */        \
    X(KPX_GAS_COOLER_ENTHALPY_OUTSIDE, 31) /* outlet enthalpy beyond the capacity curve's          \
                                              range: mass flow at its end */                       \
    X(KPX_ABOVE_MAX_DISCHARGE, 32)         /* discharge temperature above the model's maximum */

#define KPX_TRANSCRITICAL_CODE_ENUMERATOR_(name, value) name = value,
#define KPX_TRANSCRITICAL_CODE_COUNTED_(name, value) +1
enum KpxTranscriticalCode {
    KPX_TRANSCRITICAL_CODES(KPX_TRANSCRITICAL_CODE_ENUMERATOR_)
    /* How many codes KPX_TRANSCRITICAL_CODES lists (itself no code). */
    KPX_TRANSCRITICAL_CODE_COUNT = 0 KPX_TRANSCRITICAL_CODES(KPX_TRANSCRITICAL_CODE_COUNTED_)
};
#undef KPX_TRANSCRITICAL_CODE_COUNTED_
#undef KPX_TRANSCRITICAL_CODE_ENUMERATOR_

/* The figures of a transcritical rating. Units: pressures Pa (absolute), temperatures
 * degC, enthalpies J/kg on the reference of the capacity curve, powers W, mass flow kg/s. */
typedef struct KPX_TranscriticalResult {
    double capacity;                   /* cooling capacity */
    double power;                      /* power input */
    double cop;                        /* capacity / power */
    double massFlow;                   /* through the compressor */
    double suctionPressure;            /* saturation pressure at te */
    double gasCoolerPressure;          /* pgc (the optimum's pressure for the optimum) */
    double gasCoolerOutletTemperature; /* tgc */
    double gasCoolerOutletEnthalpy;    /* at (tgc, pgc) */
    double evaporatorInletEnthalpy;    /* at the expansion valve's inlet */
    double pressureRatio;              /* pgc / suction pressure */
    double dischargeTemperature;       /* energy balance, heat loss of the shell deducted */
    double maxDischargeTemperature;    /* the model's limit; NaN where it has none */
    double heatRejection;              /* gas-cooler duty, mass flow x (discharge - outlet) */
    double criticalPressure;           /* the refrigerant's */
    int32_t code;                      /* as returned */
} KPX_TranscriticalResult;
/* Variable-speed (inverter) models. Such a model publishes its polynomial sets at two or
 * more shaft speeds, each set with its own envelope; KPX_Rating and KPX_RatingFigures rate
 * it at its nominal speed. Speeds are in rev/s. Between two published speeds every
 * polynomial coefficient and every envelope limit is interpolated linearly in speed (a
 * limit equal at both speeds, or absent at both, stays as it is); the envelope at a
 * speed is the classification of those interpolated limits. There is no extrapolation:
 * a speed outside the model's speed range, which lies within its published speeds, is
 * refused.
 *
 * The codes below are returned besides the rating codes of KPX_RATING_CODES; every output
 * then reads KPX_NOT_RATED. KPX_SPEED_CODES(X) expands X(name, value) once per code. */
#define KPX_SPEED_CODES(X)                                                                         \
    X(KPX_SPEED_BELOW_MIN, -20)      /* speed below the model's minimum speed */                   \
    X(KPX_SPEED_ABOVE_MAX, -21)      /* speed above the model's maximum speed */                   \
    X(KPX_FIXED_SPEED, -22)          /* the model has no speed sets */                             \
    X(KPX_SPEED_DATA_INVALID, -23)   /* the model's speed sets are refused (see its text) */       \
    X(KPX_NO_SPEED_IN_ENVELOPE, -24) /* the point is outside the envelope at every speed */        \
    X(KPX_CAPACITY_ABOVE_MAX, -25)   /* more capacity than at the highest allowed speed */         \
    X(KPX_CAPACITY_BELOW_MIN, -26)   /* less capacity than at the lowest allowed speed */

#define KPX_SPEED_CODE_ENUMERATOR_(name, value) name = value,
enum KpxSpeedCode { KPX_SPEED_CODES(KPX_SPEED_CODE_ENUMERATOR_) KPX_SPEED_CODE_END_ = 0 };
#undef KPX_SPEED_CODE_ENUMERATOR_

/* The most polynomial sets a model may publish. */
#define KPX_MAX_SPEED_SETS 16

/* A variable-speed model's speeds: nominal (that of KPX_Rating), the range it may run at
 * (within the published speeds) and the published speeds, rising. */
typedef struct KPX_SpeedInfo {
    double nominalSpeed;
    double minSpeed;
    double maxSpeed;
    int32_t setCount;
    double speeds[KPX_MAX_SPEED_SETS]; /* the first setCount are used */
} KPX_SpeedInfo;

#ifdef __cplusplus
extern "C" {
#endif

/* Rates a model (named as KPX_Rating names it) at a transcritical point; fills *result
 * whenever result is not null. */
KPX_EXPORT int32_t KPX_CALL KPX_RatingTranscritical(int32_t model, const char* showName,
                                                    const char* refrigerant, int32_t frequency,
                                                    double te, double pgc, double tgc, double sh1,
                                                    double sh2, double liquidLineTemperature,
                                                    KPX_TranscriticalResult* result);

/* The gas-cooler pressure with the highest COP for the model at te and tgc, within its
 * envelope (the curves' pressure range, its maximum discharge pressure and pressure
 * ratio, and above the saturation pressure of tgc); *result is the rating there, its
 * gasCoolerPressure the optimum. KPX_NO_PRESSURE_IN_ENVELOPE where no pressure of that
 * range rates. */
KPX_EXPORT int32_t KPX_CALL KPX_OptimumGasCoolerPressure(int32_t model, const char* showName,
                                                         const char* refrigerant, int32_t frequency,
                                                         double te, double tgc, double sh1,
                                                         double sh2, double liquidLineTemperature,
                                                         KPX_TranscriticalResult* result);
/* The model is named as for KPX_Rating. Returns 0 and fills *info for a variable-speed
 * model; KPX_FIXED_SPEED for a model without speed sets; KPX_SPEED_DATA_INVALID when its
 * sets are refused, with the reason, naming the model, in *text (when text is usable);
 * KPX_NOT_FOUND. */
KPX_EXPORT int32_t KPX_CALL KPX_SpeedData(int32_t model, const char* showName,
                                          const char* refrigerant, int32_t frequency,
                                          KPX_SpeedInfo* info, char** text);

/* KPX_Rating at `speed`: its rating code, or KPX_SPEED_BELOW_MIN, KPX_SPEED_ABOVE_MAX,
 * KPX_FIXED_SPEED, KPX_SPEED_DATA_INVALID (KPX_PROPERTIES_FAILED for a speed that is no
 * finite number). */
KPX_EXPORT int32_t KPX_CALL KPX_RatingAtSpeed(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency,
                                              double speed, double te, double tc, double sc,
                                              double sh1, double sh2, double* capacity,
                                              double* power, double* current, double* massFlow,
                                              double* cop);

/* The speeds at which the point lies within the envelope, *minSpeed to *maxSpeed (the
 * longest such interval, should there be several): returns KPX_CLEAN, or
 * KPX_NO_SPEED_IN_ENVELOPE, KPX_FIXED_SPEED, KPX_SPEED_DATA_INVALID, KPX_NOT_FOUND. The
 * interval's ends are found to 1e-9 of the speed. */
KPX_EXPORT int32_t KPX_CALL KPX_SpeedRange(int32_t model, const char* showName,
                                           const char* refrigerant, int32_t frequency, double te,
                                           double tc, double sc, double sh1, double sh2,
                                           double* minSpeed, double* maxSpeed);

/* The lowest speed within KPX_SpeedRange at which the model gives `requiredCapacity` (W)
 * at the point, in *speed, with the rating there (its code and outputs as KPX_Rating's);
 * or KPX_CAPACITY_ABOVE_MAX, KPX_CAPACITY_BELOW_MIN, KPX_NO_SPEED_IN_ENVELOPE,
 * KPX_FIXED_SPEED, KPX_SPEED_DATA_INVALID, KPX_NOT_FOUND, KPX_PROPERTIES_FAILED. */
KPX_EXPORT int32_t KPX_CALL KPX_MatchCapacity(int32_t model, const char* showName,
                                              const char* refrigerant, int32_t frequency,
                                              double requiredCapacity, double te, double tc,
                                              double sc, double sh1, double sh2, double* speed,
                                              double* capacity, double* power, double* current,
                                              double* massFlow, double* cop);

#ifdef __cplusplus
}
#endif

#endif /* KPX_CALC_H */
