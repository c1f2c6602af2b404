/* The C interfaces of both libraries as a C89 program includes them. Compiled only: a
 * header that stops being C89, or two codes of one list with the same value (duplicate
 * case labels), fail the build. */
#include <asere32.h>
#include <kpx_calc.h>

int kvIsRatingCode(int32_t code);
int kvIsPropertyStatus(int32_t status);

#define KV_CASE(name, value) case name:

int kvIsRatingCode(int32_t code) {
    switch (code) {
        KPX_RATING_CODES(KV_CASE)
        return 1;
    default:
        return 0;
    }
}

int kvIsPropertyStatus(int32_t status) {
    switch (status) {
        ILK_STATUSES(KV_CASE)
        return 1;
    default:
        return 0;
    }
}
