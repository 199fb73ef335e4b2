#!/usr/bin/env bash
# The installer package where the machine cannot run 32-bit programs: scripts/package --check makes
# it from this build, with its registry rows from the registration under 64-bit Wine. Its tables
# hold the folders' permissions, the settings folder, the guide and its Start menu shortcut; 64-bit
# Wine's msiexec installs it (the guide's page with its pictures, the shortcut, the settings
# folder) and removes all of it again. The 32-bit package itself is package_test's.
# Arguments: the build folder and the source folder.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
export BRENMARK_WINE_ARCH=win64
source "$root/tools/wine-env"
source "$root/tests/support/package_checks.sh"
work=$(mktemp -d)
# The prefixes' servers go first: a server that lingers keeps files open in its prefix.
stop_servers() {
    local prefix
    for prefix in "$work"/prefix-*; do
        [ -d "$prefix" ] || continue
        WINEPREFIX=$prefix "$wine_server" -k 2>/dev/null || true
        WINEPREFIX=$prefix "$wine_server" -w 2>/dev/null || true
    done
}
trap 'stop_servers; rm -rf "$work"' EXIT
passed=0 failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi; }

# Made from a copy of what scripts/package reads: the build tree keeps no package of this kind.
mkdir -p "$work/build/generated"
cp "$build/TolvarBrenmarkLintrove.dll" "$build/TolvarBrenmarkLintrove.dll.debug" "$work/build/"
cp "$build/generated/module_version.h" "$work/build/generated/"
BRENMARK_PACKAGE_PREFIX=$work/prefix-package "$root/scripts/package" --check "$work/build" >"$work/package.txt" 2>&1 ||
    { cat "$work/package.txt"; echo "FAIL: scripts/package --check"; exit 1; }
msi=$(ls "$work"/build/package-check/TolvarBrenmarkLintrove-*-check.msi)
check_package_tables "$msi" "$root/docs/guide.md"

export WINEPREFIX=$work/prefix-install
wine_prepare_prefix
wine() { "$wine_loader" "$@" </dev/null; }
installed="$WINEPREFIX/drive_c/Program Files (x86)/Brenmark/Brenmark Fenlow Online Plus"
settings="$WINEPREFIX/drive_c/ProgramData/TOLVAR/Tolvar EBanking"
shortcut() { find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Brenmark Fenlow Online Plus/*' -name '*.lnk'; }
check "msiexec /i installs" wine msiexec /i "Z:${msi//\//\\}" /qn
check "the module is installed" test -s "$installed/TolvarBrenmarkLintrove.dll"
check_guide_installed "$installed/Guide" "$root/docs/guide.md"
check "the Start menu shortcut is there" bash -c '[ "$(basename "$0")" = "Brenmark Fenlow Online Plus guide.lnk" ]' "$(shortcut)"
check "the shortcut points at the guide's page" grep -qa 'guide.html' "$(shortcut)"
check "the settings folder is made by the package" test -d "$settings"
check "msiexec /x removes it" wine msiexec /x "Z:${msi//\//\\}" /qn
check "the guide and its pictures are gone" test ! -e "$installed"
check "the shortcut and its folder are gone" test -z "$(shortcut)"
check "nothing is left under Program Files" test ! -e "$WINEPREFIX/drive_c/Program Files (x86)/Brenmark"
check "the empty settings folders are gone" test ! -e "$WINEPREFIX/drive_c/ProgramData/TOLVAR"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
