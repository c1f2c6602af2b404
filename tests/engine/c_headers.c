/* The C interfaces of both libraries as a C89 program includes them. Compiled only: a
 * header that stops being C89, or two codes of one list with the same value (duplicate
 * case labels), fail the build. */
#include <asere32.h>
#include <kpx_calc.h>

int kvIsRatingCode(int32_t code);
int kvIsTranscriticalCode(int32_t code);
int kvIsPropertyStatus(int32_t status);

#define KV_CASE(name, value) case name:
/* A function that tells whether a value is one of the list's. */
#define KV_IS_LISTED(function, list)                                                               \
    int function(int32_t value) {                                                                  \
        switch (value) {                                                                           \
            list(KV_CASE) return 1;                                                                \
        default:                                                                                   \
            return 0;                                                                              \
        }                                                                                          \
    }

KV_IS_LISTED(kvIsRatingCode, KPX_RATING_CODES)
KV_IS_LISTED(kvIsTranscriticalCode, KPX_TRANSCRITICAL_CODES)
KV_IS_LISTED(kvIsPropertyStatus, ILK_STATUSES)
