#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed program as a user would: from a
# program folder it cannot write, with config and data folders of its own.
# Usage: install_test.sh BUILD_DIR PROGRAM_DIR BIN_DIR DATA_DIR (the last three relative to the prefix)
set -euo pipefail
build=$1 programdir=$2 bindir=$3 datadir=$4
work=$(mktemp -d) first=""
cleanup() {
    [ -z "$first" ] || { kill -9 "$first" && wait "$first"; } 2>/dev/null || true
    chmod -R u+w "$work" && rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in "$bindir/keyvale" "$bindir/keyvale-cli" "$datadir/man/man1/keyvale-cli.1" "$datadir/man/man1/keyvale.1" \
         "$datadir/bash-completion/completions/keyvale-cli" "$programdir/keyvale.mdb" "$programdir/KeyvaleTemplate.htm" "$programdir/AutoShutdown.wav" \
         "$programdir/help/keyvale-help.html" "$datadir/icons/hicolor/scalable/apps/keyvale.svg"; do
    [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ "$(stat -c %a "$prefix/$programdir/keyvale.mdb")" = 644 ] || fail "the delivered database is not readable by all"
entry=$prefix/$datadir/applications/keyvale.desktop
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
grep -qx "Exec=$prefix/$bindir/keyvale" "$entry" || fail "the desktop entry does not start the installed command"

# Its files go to the user's folders; a second start on them ends at once and leaves the database alone.
chmod -R a-w "$prefix/$programdir"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset KEYVALE_APP_DIR
"$prefix/$bindir/keyvale" >"$work/first.log" 2>&1 &
first=$!
database=$XDG_DATA_HOME/keyvale/keyvale.mdb settings=$XDG_CONFIG_HOME/keyvale/keyvale.ini
for _ in $(seq 100); do [ -f "$database" ] && [ -f "$settings" ] && break; sleep 0.1; done
[ -f "$database" ] || fail "no database in the user's data folder: $(cat "$work/first.log")"
grep -qx "KeyvaleLocation=$XDG_DATA_HOME/keyvale/" "$settings" || fail "the settings do not name the data folder"
[ "$(stat -c %a "$database")" = 600 ] || fail "the user's database is not owner-only"
cmp -s "$database" "$prefix/$programdir/keyvale.mdb" || fail "the user's database is not the delivered one"
[ ! -e "$prefix/$programdir/keyvale.ini" ] || fail "a settings file was written into the program folder"
before=$(stat -c %Y.%s "$database")
sleep 3 # past the first start's splash: it now waits for the user
timeout 20 "$prefix/$bindir/keyvale" >"$work/second.log" 2>&1 || fail "the second start did not end by itself"
kill -0 "$first" || fail "the first instance ended"
[ "$(stat -c %Y.%s "$database")" = "$before" ] || fail "the second start touched the database"
