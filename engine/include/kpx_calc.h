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
