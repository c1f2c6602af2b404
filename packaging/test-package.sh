#!/usr/bin/env bash
# Installs the Debian package built in BUILD_DIR, runs what it installed as a user who can't
# write to it, purges it again and checks that nothing of it is left behind.
#   packaging/test-package.sh BUILD_DIR      (as root: it installs and removes the package)
set -euo pipefail

PACKAGE=korvane-vantrix
PREFIX=/opt/korvane-vantrix
APP_ID=example.korvane.Vantrix
USER_ID=65534 # nobody: owns nothing of the installed tree
APT=(apt-get -y -q -o DPkg::Lock::Timeout=600)

build=${1:?usage: $0 BUILD_DIR}
debs=("$build"/${PACKAGE}_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "expected one ${PACKAGE}_*.deb in $build" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "$0 installs a package: run it as root" >&2; exit 1; }

fail() {
    echo "test-package: FAILED: $*" >&2
    exit 1
}
installed() { dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q 'install ok installed'; }

work=$(mktemp -d /tmp/kv-test-package.XXXXXX)
window=""
cleanup() {
    [ -n "$window" ] && kill "$window" 2>/dev/null || true
    installed && DEBIAN_FRONTEND=noninteractive "${APT[@]}" purge "$PACKAGE" >/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT

echo "== lintian"
lintian --fail-on error,warning "${debs[0]}" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt"; fail "lintian reports errors or warnings"; }

if installed; then
    echo "== $PACKAGE is installed already: purging it first"
    DEBIAN_FRONTEND=noninteractive "${APT[@]}" purge "$PACKAGE" >/dev/null
fi

# The places the package or its triggers write to, as they are before the install.
tracked=(/opt /usr/share/applications /usr/share/metainfo /usr/share/icons/hicolor
         /usr/share/bash-completion/completions /usr/share/lintian/overrides
         /usr/share/doc/$PACKAGE /usr/lib/python3/dist-packages)
snapshot() {
    # A folder that is not there (yet) lists nothing.
    { find "${tracked[@]}" -not -name icon-theme.cache 2>/dev/null || true; } | sort
    ls /var/lib/dpkg/info | grep "^$PACKAGE[.:]" || true
}
snapshot >"$work/before"
# Each path of the package, and those of them that are there already (/usr/bin, ...).
dpkg-deb --fsys-tarfile "${debs[0]}" | tar -t | sed 's|^\.||; s|/$||; /^$/d' | sort >"$work/files"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done <"$work/files" >"$work/there-before"

echo "== apt-get install ($SECONDS s) ./$(basename "${debs[0]}")"
# apt reads a local package as its own unprivileged user: hand it a copy it can read.
chmod 755 "$work"
cp "${debs[0]}" "$work/"
chmod 644 "$work"/*.deb
(cd "$work" && DEBIAN_FRONTEND=noninteractive "${APT[@]}" install ./${PACKAGE}_*.deb >/dev/null)
installed || fail "the package did not install"

echo "== validators on the installed files"
desktop=/usr/share/applications/$APP_ID.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$APP_ID.metainfo.xml" ||
    fail "appstreamcli validate"
[ -f "/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" ] || fail "no icon for $APP_ID"
grep -q "^Icon=$APP_ID$" "$desktop" || fail "the menu entry names another icon"

# The user: its own home and settings folder, nothing else writable.
home=$work/home
mkdir -p "$home"
chown "$USER_ID:$USER_ID" "$home"
chmod 700 "$home"
user_env=(setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups
          env -i HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home"
          PATH=/usr/bin:/bin LANG=C.UTF-8)
as_user() { "${user_env[@]}" "$@"; }
as_user test -w "$PREFIX" && fail "the test user can write to $PREFIX"

echo "== vantrix-cli rate from /usr/bin"
as_user /usr/bin/vantrix-cli rate >"$work/rate.txt" || fail "vantrix-cli rate exited with $?"
head -n 3 "$work/rate.txt"
results=$(sed -n 's/^Results : \([0-9]*\)$/\1/p' "$work/rate.txt")
[ "${results:-0}" -gt 0 ] || fail "vantrix-cli rate rated no model"
# The demo's inverter models read their speed sets from kpxspeed.bin beside the model table.
as_user /usr/bin/vantrix-cli table --model KIA040Z-D5 --speeds >"$work/speeds.txt" ||
    fail "vantrix-cli table --speeds exited with $?"
grep -q "^Speeds allowed here: 20.000 to 110.000 rev/s" "$work/speeds.txt" ||
    fail "the inverter model's speed sets were not installed or not read"

echo "== the Python module from Debian's python3"
as_user /usr/bin/python3 -c 'import korvane_vantrix as kv; p = kv.Program(); assert p.directory == "/opt/korvane-vantrix" and p.select()["rows"]' ||
    fail "korvane_vantrix can't be imported or rates no model"

echo "== bash completion of vantrix-cli"
complete_words() {
    as_user bash -c 'source /usr/share/bash-completion/completions/vantrix-cli
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _vantrix_cli "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        printf "%s\n" "${COMPREPLY[@]}"' - "$@"
}
[ "$(complete_words vantrix-cli rate --units "" | tr '\n' ' ')" = "si imperial " ] ||
    fail "completion of --units"
# Taken whole before it is searched: with pipefail, grep -q leaving at the first match
# would fail the completion's later writes (SIGPIPE) whenever the first line is the match.
offered=$(complete_words vantrix-cli rate --refrigerant R1)
grep -qx R134a <<<"$offered" || fail "completion of --refrigerant"

echo "== the window from the menu entry's command, offscreen"
read -r -a command <<<"$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ *%[a-zA-Z]//g')"
# Started directly (not through a function), so that $! is the window's own process.
"${user_env[@]}" QT_QPA_PLATFORM=offscreen "${command[@]}" >"$work/window.log" 2>&1 &
window=$!
# Start-up binds both libraries of the program directory once the data check has passed.
bound=""
for _ in $(seq 50); do
    kill -0 "$window" 2>/dev/null || break
    if grep -q "$PREFIX/libKPX_Calc.so" "/proc/$window/maps" 2>/dev/null &&
        grep -q "$PREFIX/libASEREP32.so" "/proc/$window/maps" 2>/dev/null; then
        bound=yes
        break
    fi
    sleep 0.2
done
sleep 3
kill -0 "$window" 2>/dev/null || { cat "$work/window.log"; fail "the window ended on its own"; }
[ -n "$bound" ] || fail "the window did not bind the libraries of $PREFIX"
kill "$window"
wait "$window" 2>/dev/null || true
window=""
echo "window ran for 3 s after binding $PREFIX/libKPX_Calc.so"

echo "== the installed tree is as installed"
dpkg --verify "$PACKAGE" || fail "dpkg --verify: installed files changed"
find "$PREFIX" | sort | comm -23 - "$work/files" >"$work/added"
[ ! -s "$work/added" ] || { cat "$work/added"; fail "files appeared in $PREFIX"; }

echo "== apt-get purge $PACKAGE ($SECONDS s)"
DEBIAN_FRONTEND=noninteractive "${APT[@]}" purge "$PACKAGE" >/dev/null
installed && fail "the package is still installed"
snapshot >"$work/after"
diff "$work/before" "$work/after" || fail "the purge left the file lists above changed"
while read -r path; do
    if { [ -e "$path" ] || [ -L "$path" ]; } && ! grep -qxF "$path" "$work/there-before"; then
        fail "left behind: $path"
    fi
done <"$work/files"
echo "test-package: installed, ran, purged; nothing left behind ($SECONDS s)"
