#!/bin/sh
# The Windows programs under Wine against the Linux vantrix-cli, for the same inputs:
#  - kv_bind_demo.exe (KPX_Calc.dll bound by name) gives the Linux Calculate's rows, number
#    for number;
#  - vantrix-cli.exe prints the same bytes and exits with the same status as the Linux
#    one, for good and bad arguments and for damaged program directories;
#  - a catalogue with CRLF line ends gives the same rows as the original.
# Every Windows program runs from a folder whose path holds spaces and letters of the
# ANSI code page outside ASCII.
# same_as_linux.sh WINE_RUN WINDOWS_PROGRAM_DIR LINUX_PROGRAM_DIR WORK_DIR
set -eu
wine_run=$1
win_bin=$2
linux_bin=$3
work=$4
unset KV_WINEPATH # DLLs only from the program directories below
fail=0
bad() {
    echo "FAIL: $*"
    fail=1
}
[ -x "$linux_bin/vantrix-cli" ] || { echo "FAIL: no Linux vantrix-cli in $linux_bin (make build)"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
# The Windows form of a path of this machine, as Wine maps it.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# A program directory with the demo catalogue: NAME win|linux
progdir() {
    d="$work/$1 Prüfung ä/$2"
    mkdir -p "$d"
    if [ "$2" = win ]; then
        cp "$win_bin/KPX_Calc.dll" "$win_bin/ASEREP32.dll" "$win_bin/vantrix-cli.exe" \
            "$win_bin/kv_bind_demo.exe" "$d/"
        src=$win_bin
    else
        cp "$linux_bin/libKPX_Calc.so" "$linux_bin/libASEREP32.so" "$linux_bin/vantrix-cli" "$d/"
        src=$linux_bin
    fi
    cp "$src/data.bin" "$d/"
    mkdir -p "$d/data"
    cp "$src/data/kpxcodes.bin" "$src/data/kpxcalc.bin" "$d/data/"
    cp -r "$src/data/fluids" "$d/data/"
    printf '%s\n' "$d"
}

# The first line of data.bin for the catalogue files in DIR.
write_data_bin() {
    calc=$(wc -c <"$1/data/kpxcalc.bin")
    codes=$(wc -c <"$1/data/kpxcodes.bin")
    printf '%s\r\n' $((calc - codes)) >"$1/data.bin"
}

win=$(progdir "Demo" win)
linux=$(progdir "Demo" linux)
"$wine_run" cmd /c exit 0 >/dev/null 2>&1 || true # the prefix, made once

# 1. The binding program against the Linux Calculate at the same conditions.
if ! "$wine_run" "$win/kv_bind_demo.exe" 5 50 0 10 20 >"$work/bind.raw" 2>"$work/bind.err"; then
    bad "kv_bind_demo.exe failed: $(cat "$work/bind.err")"
fi
# The grid's texts ("2.70", "021") as the plain numbers CSV writes ("2.7", "21").
tr -d '\r' <"$work/bind.raw" | LC_ALL=C awk -F';' -v OFS=';' -v CONVFMT='%.10g' -v OFMT='%.10g' \
    '{ for (k = 3; k <= 7; k++) $k = $k + 0; print }' | LC_ALL=C sort >"$work/bind.txt"
LC_ALL=C "$linux/vantrix-cli" rate --format csv --frequency 50 --te 5 --tc 50 --sc 0 --sh1 10 \
    --sh2 20 >"$work/linux.csv"
# CSV (RFC 4180) to "Model;Refrigerant;capacity;power;COP;current;mass flow" without
# group separators.
awk 'NR > 1 {
    sub(/\r$/, ""); n = 0; field = ""; quoted = 0
    for (i = 1; i <= length($0); i++) {
        c = substr($0, i, 1)
        if (quoted) {
            if (c == "\"" && substr($0, i + 1, 1) == "\"") { field = field c; i++ }
            else if (c == "\"") quoted = 0
            else field = field c
        } else if (c == "\"") quoted = 1
        else if (c == ",") { f[++n] = field; field = "" }
        else field = field c
    }
    f[++n] = field
    for (k = 5; k <= 9; k++) gsub(/,/, "", f[k])
    print f[2] ";" f[3] ";" f[5] ";" f[6] ";" f[7] ";" f[8] ";" f[9]
}' "$work/linux.csv" | LC_ALL=C sort >"$work/linux.txt"
rows=$(wc -l <"$work/linux.txt")
[ "$rows" -gt 10 ] || bad "the Linux Calculate gave only $rows rows"
if cmp -s "$work/bind.txt" "$work/linux.txt"; then
    echo "kv_bind_demo.exe: the Linux rows, $rows of them"
else
    bad "kv_bind_demo.exe rows differ from the Linux vantrix-cli's:"
    diff "$work/linux.txt" "$work/bind.txt" | head -20
fi

# 2. vantrix-cli.exe and vantrix-cli: same output and exit status. The program directory
# is the first argument: its own folder (default) or --program-dir DIR.
case_no=0
same() {
    wdir=$1 ldir=$2
    shift 2
    case_no=$((case_no + 1))
    set +e
    "$wine_run" "$win/vantrix-cli.exe" --program-dir "$(winpath "$wdir")" "$@" \
        >"$work/w$case_no.out" 2>"$work/w$case_no.err"
    ws=$?
    LC_ALL=C "$linux/vantrix-cli" --program-dir "$ldir" "$@" >"$work/l$case_no.out" \
        2>"$work/l$case_no.err"
    ls=$?
    set -e
    if [ $ws != $ls ]; then
        bad "vantrix-cli $*: exit status $ws on Windows, $ls on Linux: $(cat "$work/w$case_no.err")"
    elif ! cmp -s "$work/w$case_no.out" "$work/l$case_no.out"; then
        bad "vantrix-cli $*: the output differs"
        diff "$work/l$case_no.out" "$work/w$case_no.out" | head -10
    elif [ $ls = 2 ] && ! cmp -s "$work/w$case_no.err" "$work/l$case_no.err"; then
        bad "vantrix-cli $*: the usage message differs"
    else
        echo "vantrix-cli $*: same (exit status $ls)"
    fi
}
same "$win" "$linux" rate
same "$win" "$linux" rate --format csv --units imperial --order capacity --frequency 60
same "$win" "$linux" rate --format json --refrigerant R134a --conditions "Asercom, MBP" --target 12000
same "$win" "$linux" rate --te=-5,5 --sh2 4 --filter krm
same "$win" "$linux" list refrigerants
same "$win" "$linux" --frequency 60 list voltages --format csv
same "$win" "$linux" rate --te warm
same "$win" "$linux" rate --colour red
same "$win" "$linux" list models

# 3. The same catalogue with CRLF line ends (data.bin written for its sizes).
crlf=$(progdir "CRLF" win)
for f in kpxcodes.bin kpxcalc.bin; do
    sed 's/\r$//; s/$/\r/' "$crlf/data/$f" >"$crlf/data/$f.new"
    mv "$crlf/data/$f.new" "$crlf/data/$f"
done
write_data_bin "$crlf"
same "$crlf" "$linux" rate --format csv
same "$crlf" "$linux" list families

# 4. Damaged program directories, the same damage on both sides.
for damage in data-bin no-engine no-properties junk-catalogue junk-fluid; do
    w=$(progdir "$damage" win)
    l=$(progdir "$damage" linux)
    for d in "$w" "$l"; do
        case $damage in
            data-bin) printf '12345\r\n' >"$d/data.bin" ;;
            no-engine) rm -f "$d/KPX_Calc.dll" "$d/libKPX_Calc.so" ;;
            no-properties) rm -f "$d/ASEREP32.dll" "$d/libASEREP32.so" ;;
            junk-catalogue)
                head -c 3000 "$w/KPX_Calc.dll" >"$d/data/kpxcalc.bin"
                printf 'x\nDLLR\t1\tR\351\tx\n\t\t\n' >"$d/data/kpxcodes.bin"
                write_data_bin "$d"
                ;;
            junk-fluid) printf '{"INFO": [1, 2' >"$d/data/fluids/R404A.json" ;;
        esac
    done
    same "$w" "$l" rate --format csv
done

[ $fail = 0 ] && echo "Windows and Linux agree"
exit $fail
