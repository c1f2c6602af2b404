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

#endif /* KPX_CALC_H */
