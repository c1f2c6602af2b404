/* Korvane Vantrix refrigerant properties: the C interface of libASEREP32.so.
 *
 * Every property function returns ILK_OK (0) on success; on failure one of the statuses
 * of IlkStatus and NaN in the result. Temperatures in K, pressures in Pa, enthalpies in
 * J/kg (IIR reference state), specific volumes in m3/kg. A text result goes to a caller's buffer of
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

/* The status of a property function: 0 on success, else why it failed.
 * ILK_STATUSES(X) expands X(name, value) once per status, in this order; each name is a
 * constant of enum IlkStatus. */
#define ILK_STATUSES(X)                                                                            \
    X(ILK_OK, 0)                                                                                   \
    X(ILK_UNKNOWN_FLUID, 1)     /* no fluid file answers the name */                               \
    X(ILK_NO_DATA_DIRECTORY, 2) /* no fluids directory set, or it can't be read */                 \
    X(ILK_BAD_FLUID_FILE, 3)    /* the fluid's file can't be read or can't be used */              \
    X(ILK_OUT_OF_RANGE, 4)      /* a temperature or pressure outside the fluid's range */          \
    X(ILK_NOT_VAPOUR, 5)        /* (T, p) is not a single-phase vapour state */                    \
    X(ILK_NO_CONVERGENCE, 6)    /* a solver did not converge within its steps */                   \
    X(ILK_NULL_POINTER, 7)      /* a null argument */                                              \
    X(ILK_BAD_ARGUMENT, 8)      /* a value not finite, or not positive where it must be */         \
    X(ILK_INTERNAL, 9)          /* an unexpected failure (out of memory and the like) */           \
    X(ILK_TWO_PHASE, 10)        /* (T, p) lies between a blend's bubble and dew pressures */

#define ILK_STATUS_ENUMERATOR_(name, value) name = value,
#define ILK_STATUS_COUNTED_(name, value) +1
enum IlkStatus {
    ILK_STATUSES(ILK_STATUS_ENUMERATOR_)
    /* How many statuses ILK_STATUSES lists (itself no status). */
    ILK_STATUS_COUNT = 0 ILK_STATUSES(ILK_STATUS_COUNTED_)
};
#undef ILK_STATUS_ENUMERATOR_
#undef ILK_STATUS_COUNTED_

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

/* Single-phase states on either side of the critical pressure and above it. Windows
 * ordinals 53 and 54.
 *
 * ILK_StateTP: enthalpy (J/kg), entropy (J/(kg K)) and density (kg/m3) at (T, p), IIR
 *   reference state. Below the top of the saturation curve, at p up to the dew pressure
 *   the vapour (as ILK_VapourEnthalpy gives it), at p from the bubble pressure up the
 *   liquid (its density root above the saturated liquid's); a pure fluid exactly at its
 *   saturation pressure gives the saturated vapour. Between a blend's bubble and dew
 *   pressures: status 10 (ILK_TWO_PHASE). Above the top of the saturation curve the one
 *   fluid state at (T, p), gas-like or liquid-like. Below the triple point, above the
 *   equation's highest temperature or pressure: status 4.
 * ILK_CriticalPoint: critical temperature (K) and pressure (Pa) of the fluid's equation;
 *   above both, a fluid has no saturation. For a blend of pure fluids, the top of its
 *   saturation curve as the library computes it.
 * On failure every result is NaN. */
#ifdef __cplusplus
extern "C" {
#endif

ILK_EXPORT int32_t ILK_CALL ILK_StateTP(const char* refrigerant, double T, double p, double* h,
                                        double* s, double* rho);
ILK_EXPORT int32_t ILK_CALL ILK_CriticalPoint(const char* refrigerant, double* Tc, double* pc);

#ifdef __cplusplus
}
#endif

#endif /* ASERE32_H */
