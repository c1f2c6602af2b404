/* Binds KPX_Calc.dll as the window program does on Windows: by file name with
 * LoadLibraryA, each export by name with GetProcAddress, in the standard calling
 * convention. Runs start-up (ILK_Revision once, KPX_Initialize with the program directory
 * followed by "\data\") and one Calculate over every model of the catalogue at 50 Hz, and
 * prints one line per rated model:
 *   Name;Refrigerant;capacity W;power W;COP;current A;mass flow kg/h
 * with the numbers rounded as the results grid shows them, without group separators.
 *
 *   kv_bind_demo TE TC SC SH1 SH2      (degrees C and K)
 * Exit status: 0 done, 2 bad arguments, 3 a library or export that can't be bound. */
#define __USE_MINGW_ANSI_STDIO 1 /* correctly rounded printf, as on Linux */
#include <windows.h>

#include <asere32.h>
#include <kpx_calc.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The exports' types, calling convention included, from the libraries' declarations. */
typedef __typeof__(&ILK_Revision) RevisionFn;
typedef __typeof__(&KPX_Initialize) InitializeFn;
typedef __typeof__(&KPX_GetModel) GetModelFn;
typedef __typeof__(&KPX_GetModelData) GetModelDataFn;
typedef __typeof__(&KPX_Rating) RatingFn;

typedef void (*AnyFn)(void);

static AnyFn bindExport(HMODULE library, const char* file, const char* name) {
    FARPROC f = library != NULL ? GetProcAddress(library, name) : NULL;
    if (f == NULL) {
        fprintf(stderr, "kv_bind_demo: %s can't be bound from %s\n", name, file);
        exit(3);
    }
    return (AnyFn)f;
}

/* The grid's rounding: the value to 15 significant digits, then half to even at
 * `decimals` places; whole numbers with at least three digits. */
static void gridNumber(double value, int decimals, char* out, size_t size) {
    char text[40];
    char digits[16];
    int exponent = 0;
    int kept = 0;
    long long n = 0;
    int i;
    int roundUp = 0;
    if (value == 0.0) {
        snprintf(out, size, decimals == 0 ? "000" : "0.00");
        return;
    }
    snprintf(text, sizeof text, "%.14e", fabs(value));
    digits[0] = text[0];
    memcpy(digits + 1, text + 2, 14);
    digits[15] = '\0';
    exponent = atoi(strchr(text, 'e') + 1);
    kept = exponent + 1 + decimals;
    if (kept >= 15) {
        snprintf(out, size, "%.*f", decimals, value);
        return;
    }
    for (i = 0; i < kept; ++i)
        n = n * 10 + (digits[i] - '0');
    if (kept >= 0) {
        /* The dropped digits against one half. */
        int cmp = digits[kept] - '5';
        for (i = kept + 1; cmp == 0 && i < 15; ++i)
            cmp = digits[i] - '0';
        roundUp = cmp > 0 || (cmp == 0 && (n % 2) != 0);
    }
    n += roundUp;
    if (decimals == 0)
        snprintf(out, size, "%s%03lld", value < 0 && n != 0 ? "-" : "", n);
    else
        snprintf(out, size, "%s%lld.%02lld", value < 0 && n != 0 ? "-" : "", n / 100, n % 100);
}

int main(int argc, char** argv) {
    char programDir[MAX_PATH];
    char dataDir[MAX_PATH + 8];
    char buffer[KPX_TEXT_SIZE];
    char* text = buffer;
    double conditions[5];
    DWORD length;
    char* slash;
    HMODULE properties, engine;
    RevisionFn revision;
    InitializeFn initialize;
    GetModelFn getModel;
    GetModelDataFn getModelData;
    RatingFn rating;
    int32_t start = 0, next = 0;
    int i;

    if (argc != 6) {
        fprintf(stderr, "usage: kv_bind_demo TE TC SC SH1 SH2\n");
        return 2;
    }
    for (i = 0; i < 5; ++i)
        conditions[i] = atof(argv[i + 1]);

    length = GetModuleFileNameA(NULL, programDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 3;
    slash = strrchr(programDir, '\\');
    if (slash != NULL)
        *slash = '\0';

    properties = LoadLibraryA("ASEREP32.DLL");
    revision = (RevisionFn)bindExport(properties, "ASEREP32.DLL", "ILK_Revision");
    engine = LoadLibraryA("KPX_CALC.DLL");
    initialize = (InitializeFn)bindExport(engine, "KPX_CALC.DLL", "KPX_Initialize");
    getModel = (GetModelFn)bindExport(engine, "KPX_CALC.DLL", "KPX_GetModel");
    getModelData = (GetModelDataFn)bindExport(engine, "KPX_CALC.DLL", "KPX_GetModelData");
    rating = (RatingFn)bindExport(engine, "KPX_CALC.DLL", "KPX_Rating");

    revision(&text);
    snprintf(dataDir, sizeof dataDir, "%s\\data\\", programDir);
    initialize(dataDir);

    for (;;) {
        double capacity, power, current, massFlow, cop;
        char name[KPX_TEXT_SIZE], refrigerant[KPX_TEXT_SIZE], numbers[5][64];
        next = 0;
        if (getModel(start, 0, 0, 0, &next, &text) != 0 || next <= start)
            break;
        start = next;
        if (rating(next, "", "", 0, conditions[0], conditions[1], conditions[2], conditions[3],
                   conditions[4], &capacity, &power, &current, &massFlow, &cop) != KPX_CLEAN)
            continue;
        getModelData(next, "DLLP", &text);
        /* The 60 Hz power supplies are left out at 50 Hz. */
        if (strlen(buffer) == 1 && strchr("12389", buffer[0]) != NULL)
            continue;
        getModelData(next, "Name", &text);
        strcpy(name, buffer);
        getModelData(next, "Refrigerant", &text);
        strcpy(refrigerant, buffer);
        gridNumber(capacity, 0, numbers[0], sizeof numbers[0]);
        gridNumber(power, 0, numbers[1], sizeof numbers[1]);
        gridNumber(cop, 2, numbers[2], sizeof numbers[2]);
        gridNumber(current, 2, numbers[3], sizeof numbers[3]);
        gridNumber(massFlow * 3600.0, 0, numbers[4], sizeof numbers[4]);
        printf("%s;%s;%s;%s;%s;%s;%s\n", name, refrigerant, numbers[0], numbers[1], numbers[2],
               numbers[3], numbers[4]);
    }
    return 0;
}
