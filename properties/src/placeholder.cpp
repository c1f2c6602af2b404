// Placeholder property library: every call fails cleanly until the real one lands.
#include "asere32.h"

#include <cmath>

extern "C" {
int16_t ILK_Revision(char** /*text*/) { return 0; }
int32_t ILK_SetDataDirectory(const char* /*directory*/) { return 1; }
int32_t ILK_SaturationPressure(const char*, double, double* p) {
    if (p) *p = NAN;
    return 1;
}
int32_t ILK_BubbleTemperature(const char*, double, double* T) {
    if (T) *T = NAN;
    return 1;
}
int32_t ILK_LiquidEnthalpy(const char*, double, double* h) {
    if (h) *h = NAN;
    return 1;
}
int32_t ILK_VapourEnthalpy(const char*, double, double, double* h) {
    if (h) *h = NAN;
    return 1;
}
int32_t ILK_VapourVolume(const char*, double, double, double* v) {
    if (v) *v = NAN;
    return 1;
}
}
