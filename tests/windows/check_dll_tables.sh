#!/bin/sh
# Reads the export and import tables of the built DLLs (objdump -p) and checks what a
# Windows caller relies on:
#   KPX_Calc.dll exports KPX_Initialize ... KPX_Rating, KPX_RatingFigures, the four speed exports and the four self-registration
#   entry points by their plain names (no @n decoration of the calling convention) and
#   nothing else; it imports ILK_* from ASEREP32.dll by ordinal only (1 8 9 12 13 15 49
#   50 51 52).
#   ASEREP32.dll exports ILK_Revision at ordinal 1 and the six property functions at
#   8 9 12 13 15 49, the isobar functions at 50 51 52, and the single-phase state and
#   critical point at 53 54, nothing else.
#   On 32-bit Windows every export is a function of the standard calling convention: its
#   symbol carries the bytes of its arguments (_name@bytes) and it removes them (ret bytes).
# check_dll_tables.sh OBJDUMP PROGRAM_DIR POINTER_BYTES
set -eu
objdump=$1
dir=$2
bits=$3
fail=0
bad() {
    echo "FAIL: $*"
    fail=1
}

# The export table as "ordinal name" lines: objdump lists each name with its ordinal
# less the ordinal base.
exports() {
    base=$("$objdump" -p "$1" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p')
    "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\).*/\1 \2/p' |
        while read -r index name; do echo "$((index + base)) $name"; done | sort -n
}

calc="$dir/KPX_Calc.dll"
asere="$dir/ASEREP32.dll"
for f in "$calc" "$asere"; do
    [ -f "$f" ] || { echo "FAIL: $f is missing"; exit 1; }
done

got=$(exports "$calc" | cut -d' ' -f2 | sort | tr '\n' ' ')
want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer KPX_GetFamily KPX_GetModel KPX_GetModelData KPX_GetPower KPX_GetRefrigerant KPX_Initialize KPX_MatchCapacity KPX_OptimumGasCoolerPressure KPX_Rating KPX_RatingAtSpeed KPX_RatingFigures KPX_RatingTranscritical KPX_SpeedData KPX_SpeedRange "
[ "$got" = "$want" ] || bad "KPX_Calc.dll exports: got '$got', want '$want'"

names=$(exports "$asere" | tr '\n' ',')
want_names="1 ILK_Revision,8 ILK_SaturationPressure,9 ILK_BubbleTemperature,12 ILK_VapourVolume,13 ILK_LiquidEnthalpy,15 ILK_VapourEnthalpy,49 ILK_SetDataDirectory,50 ILK_VapourEntropy,51 ILK_VapourStatePS,52 ILK_VapourStatePH,53 ILK_StateTP,54 ILK_CriticalPoint,"
[ "$names" = "$want_names" ] || bad "ASEREP32.dll exports (ordinal name): got '$names', want '$want_names'"
count=$("$objdump" -p "$asere" | sed -n '/^Export Address Table --/,/^$/p' | grep -c 'Export RVA')
[ "$count" = 12 ] || bad "ASEREP32.dll exports $count functions, want 12"

# Imports of KPX_Calc.dll from ASEREP32.dll: ordinals only. objdump shows each import by
# ordinal as the thunk 0x8000...NNNN (the top bit set, the ordinal in the low 16 bits)
# with "<none>" for the name.
imports=$("$objdump" -p "$calc" | awk '
    /DLL Name:/ { inside = ($3 == "ASEREP32.dll"); next }
    inside && /^[[:space:]]*$/ { inside = 0 }
    inside && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9a-f]+/ { print }')
ordinals=$(printf '%s\n' "$imports" | while read -r thunk _ name _; do
    [ "$name" = "<none>" ] && echo $((0x$(printf '%s' "$thunk" | tail -c 4))); done |
    sort -n | tr '\n' ' ')
[ "$ordinals" = "1 8 9 12 13 15 49 50 51 52 53 54 " ] ||
    bad "KPX_Calc.dll imports from ASEREP32.dll by ordinal: '$ordinals', want '1 8 9 12 13 15 49 50 51 52 53 54 ' ($imports)"
if printf '%s\n' "$imports" | grep -q 'ILK_'; then
    bad "KPX_Calc.dll imports ASEREP32.dll functions by name: $imports"
fi

# 32-bit: the exports are the functions of the standard calling convention, whose
# symbols carry the bytes of arguments they remove (_name@bytes).
if [ "$bits" = 4 ]; then
    symbols=$("$objdump" -t "$calc" "$asere")
    for s in _KPX_Initialize@4 _KPX_GetRefrigerant@12 _KPX_GetFamily@12 _KPX_GetPower@12 \
        _KPX_GetModel@24 _KPX_GetModelData@12 _KPX_Rating@76 _KPX_RatingFigures@60 _DllRegisterServer@0 \
        _KPX_RatingTranscritical@68 _KPX_OptimumGasCoolerPressure@60 \
        _KPX_SpeedData@24 _KPX_RatingAtSpeed@84 _KPX_SpeedRange@64 _KPX_MatchCapacity@88 \
        _DllUnregisterServer@0 _DllCanUnloadNow@0 _DllGetClassObject@12 _ILK_Revision@4 \
        _ILK_SaturationPressure@16 _ILK_BubbleTemperature@16 _ILK_VapourVolume@24 \
        _ILK_LiquidEnthalpy@16 _ILK_VapourEnthalpy@24 _ILK_SetDataDirectory@4 \
        _ILK_VapourEntropy@24 _ILK_VapourStatePS@28 _ILK_VapourStatePH@28 _ILK_StateTP@32 \
        _ILK_CriticalPoint@12; do
        printf '%s\n' "$symbols" | grep -q " $s\$" || bad "no symbol $s: not in the standard calling convention"
        # The function returns with "ret $bytes": the callee removes the arguments.
        bytes=${s##*@}
        [ "$bytes" = 0 ] && continue
        file=$calc
        case $s in _ILK_*) file=$asere ;; esac
        "$objdump" -d --disassemble="$s" "$file" | grep -Eq "ret +\\\$0x$(printf '%x' "$bytes")\$" ||
            bad "$s does not return with ret \$$bytes"
    done
fi

for f in "$calc" "$asere"; do
    exports "$f" | grep -q '@' && bad "$f: decorated export names"
done
[ $fail = 0 ] && echo "KPX_Calc.dll and ASEREP32.dll: export and import tables as expected"
exit $fail
