/* Korvane Vantrix refrigerant properties: the C interface of libASEREP32.so.
 *
 * Every property function returns 0 on success; on failure a non-zero status and NaN
 * in the result. Temperatures in K, pressures in Pa, enthalpies in J/kg (IIR reference
 * state), specific volumes in m3/kg. A text result goes to a caller's buffer of
 * ILK_TEXT_SIZE bytes.
 *
 * Callers in C++ that find the exports by name take their types from these declarations
 * (decltype(&ILK_Revision)), calling convention included.
 */
#ifndef ASERE32_H
#define ASERE32_H

#include <stdint.h>

/* Size of the caller's buffer for a text result, the zero byte included. */
#define ILK_TEXT_SIZE 256

#if defined(_WIN32) && !defined(_WIN64)
#define ILK_CALL __stdcall
#else
#define ILK_CALL
#endif

/* Windows: the module-definition file names the exports. */
#if defined(ASEREP32_BUILDING) && !defined(_WIN32)
#define ILK_EXPORT __attribute__((visibility("default")))
#else
#define ILK_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

ILK_EXPORT int16_t ILK_CALL ILK_Revision(char** text);
ILK_EXPORT int32_t ILK_CALL ILK_SetDataDirectory(const char* directory);
ILK_EXPORT int32_t ILK_CALL ILK_SaturationPressure(const char* refrigerant, double T, double* p);
ILK_EXPORT int32_t ILK_CALL ILK_BubbleTemperature(const char* refrigerant, double p, double* T);
ILK_EXPORT int32_t ILK_CALL ILK_LiquidEnthalpy(const char* refrigerant, double T, double* h);
ILK_EXPORT int32_t ILK_CALL ILK_VapourEnthalpy(const char* refrigerant, double T, double p,
                                               double* h);
ILK_EXPORT int32_t ILK_CALL ILK_VapourVolume(const char* refrigerant, double T, double p,
                                             double* v);

#ifdef __cplusplus
}
#endif

/* Beyond the seven exports above: entropy and the vapour states along an isobar, for the
 * compressor's discharge. Entropies in J/(kg K), IIR reference state (s = 1 kJ/(kg K) for
 * saturated liquid at 0 degC). Windows ordinals 50, 51 and 52.
 *
 * ILK_VapourEntropy: entropy of the vapour at (T, p); status 5 where (T, p) is no vapour.
 * ILK_VapourStatePS: temperature and enthalpy of the vapour at pressure p and entropy s
 *   (the end of an isentropic compression); status 5 where (p, s) is wet or liquid.
 * ILK_VapourStatePH: temperature and entropy of the vapour at pressure p and enthalpy h;
 *   status 5 where (p, h) is wet or liquid.
 * On failure both results are NaN. */
#ifdef __cplusplus
extern "C" {
#endif

ILK_EXPORT int32_t ILK_CALL ILK_VapourEntropy(const char* refrigerant, double T, double p,
                                              double* s);
ILK_EXPORT int32_t ILK_CALL ILK_VapourStatePS(const char* refrigerant, double p, double s,
                                              double* T, double* h);
ILK_EXPORT int32_t ILK_CALL ILK_VapourStatePH(const char* refrigerant, double p, double h,
                                              double* T, double* s);

#ifdef __cplusplus
}
#endif

#endif /* ASERE32_H */
