#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed program as a user would: from a
# program folder it cannot write, with its own config and data folders.
# Usage: install_test.sh BUILD_DIR PROGRAM_DIR BIN_DIR DATA_DIR (the last three relative to the prefix)
set -euo pipefail
build=$1 programdir=$2 bindir=$3 datadir=$4
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The files are where the desktop looks for them.
for f in "$bindir/keyvale" "$programdir/keyvale" "$programdir/keyvale.mdb" "$programdir/KeyvaleTemplate.htm" \
         "$programdir/help/keyvale-help.html" "$programdir/AutoShutdown.wav" "$programdir/AboutTune.wav" \
         "$datadir/applications/keyvale.desktop" "$datadir/icons/hicolor/scalable/apps/keyvale.svg"; do
    [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/$bindir/keyvale" ] || fail "the keyvale command cannot be run"
[ "$(stat -c %a "$prefix/$programdir/keyvale.mdb")" = 644 ] || fail "the delivered database is not readable by all"
desktop=$prefix/$datadir/applications/keyvale.desktop
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
else
    echo "desktop-file-validate is not installed: the entry's syntax is not checked"
fi
grep -qx "Exec=$prefix/$bindir/keyvale" "$desktop" || fail "the desktop entry does not start the installed command"
grep -qx "Categories=Utility;Security;" "$desktop" || fail "the desktop entry's categories"

# Started through its command from a program folder it cannot write, it keeps its files in the user's
# folders; a second start on them ends at once and leaves the database alone.
chmod -R a-w "$prefix/$programdir"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=offscreen
unset KEYVALE_APP_DIR
"$prefix/$bindir/keyvale" >"$work/first.log" 2>&1 &
pids+=($!)
database=$XDG_DATA_HOME/keyvale/keyvale.mdb
for _ in $(seq 100); do
    [ -f "$database" ] && [ -f "$XDG_CONFIG_HOME/keyvale/keyvale.ini" ] && break
    sleep 0.1
done
[ -f "$database" ] || fail "no database in the user's data folder: $(cat "$work/first.log")"
grep -qx "KeyvaleLocation=$XDG_DATA_HOME/keyvale/" "$XDG_CONFIG_HOME/keyvale/keyvale.ini" ||
    fail "the settings file does not name the user's data folder"
[ "$(stat -c %a "$database")" = 600 ] || fail "the user's database is not owner-only"
[ ! -e "$prefix/$programdir/keyvale.ini" ] || fail "a settings file was written into the program folder"
cmp -s "$database" "$prefix/$programdir/keyvale.mdb" || fail "the user's database is not the delivered one"
before=$(stat -c %Y.%s "$database")
sleep 3 # past the first start's splash: the first instance is now waiting for the user
timeout 20 "$prefix/$bindir/keyvale" >"$work/second.log" 2>&1 || fail "the second start did not end by itself"
kill -0 "${pids[0]}" 2>/dev/null || fail "the first instance ended"
[ "$(stat -c %Y.%s "$database")" = "$before" ] || fail "the second start touched the database"
echo "installed layout, desktop entry, per-user folders and the second start are as expected"
