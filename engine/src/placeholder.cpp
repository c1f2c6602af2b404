// Placeholder engine: answers "no catalogue" until the real one lands.
#include "kpx_calc.h"

extern "C" {
int32_t KPX_Initialize(const char*) { return 0; }
int32_t KPX_GetRefrigerant(int32_t, int32_t* next, char**) {
    if (next) *next = 0;
    return -1;
}
int32_t KPX_GetFamily(int32_t, int32_t* next, char**) {
    if (next) *next = 0;
    return -1;
}
int32_t KPX_GetPower(int32_t, int32_t* next, char**) {
    if (next) *next = 0;
    return -1;
}
int32_t KPX_GetModel(int32_t, int32_t, int32_t, int32_t, int32_t*, char**) { return -1; }
int32_t KPX_GetModelData(int32_t, const char*, char**) { return -1; }
int32_t KPX_Rating(int32_t, const char*, const char*, int32_t, double, double, double, double,
                   double, double*, double*, double*, double*, double*) {
    return -1;
}
}
