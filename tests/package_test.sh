#!/usr/bin/env bash
# The installer package under Wine, as an admin uses it, each case in a fresh prefix:
#   - msiexec /i /qn writes exactly the keys that regsvr32 writes for the same DLL at the same path;
#     a scripting client then walks the bank, and the sample host exports and imports through it;
#   - a newer package over it leaves one Programs and Features entry and the newer file;
#   - msiexec /x removes every file, folder and key it wrote, and nothing else;
#   - a folder whose name holds characters outside the ANSI code page works;
#   - the package's tables set the folders' permissions and make the settings folder; it installs
#     the guide's page with every picture it names and a Start menu shortcut to it, and removal
#     takes them away (the users' settings stay).
# Arguments: the build folder (with the DLL, the sample host and the package) and the source folder.
set -euo pipefail
# Wine reads command lines in the locale's encoding: the folder names below are UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
export BRENMARK_WINE_ARCH=win32
source "$root/tools/wine-env"
source "$root/tests/support/package_checks.sh"
rows=$root/packaging/registry_rows.py
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
version=$(sed -n 's/^#define BRENMARK_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/module_version.h")
msi=$build/TolvarBrenmarkLintrove-$version.msi
[ -f "$msi" ] || { echo "FAIL: no package $msi (scripts/package makes it)"; exit 1; }
folder='C:\Program Files\Brenmark\Brenmark Fenlow Online Plus\'
unix_folder='drive_c/Program Files/Brenmark/Brenmark Fenlow Online Plus'

passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

fresh_prefix() {
    export WINEPREFIX=$work/prefix-$1
    rm -rf "$WINEPREFIX"
    wine_prepare_prefix
}
wine() { "$wine_loader" "$@" </dev/null; }
classes_export() { wine reg export 'HKLM\Software\Classes' "C:\\$1.reg" /y >/dev/null; echo "$WINEPREFIX/drive_c/$1.reg"; }
uninstall_entries() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        grep -c 'DisplayName.*REG_SZ.*Brenmark Fenlow Online Plus' || true
}
guide_shortcut() { find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Brenmark Fenlow Online Plus/*' -name '*.lnk'; }
msiexec() {
    set +e
    wine msiexec "$@"
    local code=$?
    set -e
    return $code
}

# --- The reference: regsvr32 on the DLL at the package's path.
fresh_prefix regsvr32
mkdir -p "$WINEPREFIX/$unix_folder"
cp "$build/TolvarBrenmarkLintrove.dll" "$WINEPREFIX/$unix_folder/"
before=$(classes_export before)
wine regsvr32 /s "${folder}TolvarBrenmarkLintrove.dll"
after=$(classes_export after)
python3 "$rows" list "$before" "$after" "$folder" >"$work/regsvr32.txt"

# The host product registers its type libraries; the sample host does so on every run.
cp "$build/brenmark_host.exe" "$build"/generated/Tolvar*.tlb "$work/"
host() { (cd "$root" && wine "$work/brenmark_host.exe" "$@" 2>&1 | tr -d '\r' | grep -v '^wine: '); }
client() { wine cscript //nologo "Z:${root//\//\\}\\tests\\scripts\\bank.vbs" 2>&1 | tr -d '\r' || true; }

# --- The package, silently, on a machine where the host product is installed.
fresh_prefix install
# The host's type libraries, and what Wine registers on a scripting client's first run, are there
# before the package: they are not the package's to write or remove.
host import samples/statement.csv >/dev/null 2>&1 || true
client >/dev/null
before_install=$(classes_export before)
uninstall_before=$(uninstall_entries)
if msiexec /i "Z:${msi//\//\\}" /qn; then pass "msiexec /i installs"; else fail "msiexec /i installs (exit $?)"; fi
after=$(classes_export after)
python3 "$rows" list "$before_install" "$after" "$folder" >"$work/package.txt"
keys=$(grep -c '^key ' "$work/regsvr32.txt")
values=$(grep -c '^value ' "$work/regsvr32.txt")
if diff -u "$work/regsvr32.txt" "$work/package.txt"; then
    pass "the package writes the keys regsvr32 writes: compared $keys keys and $values values"
else
    fail "the package's keys differ from regsvr32's ($keys keys and $values values compared)"
fi
check "the DLL is in the 32-bit Program Files folder" \
    cmp -s "$build/TolvarBrenmarkLintrove.dll" "$WINEPREFIX/$unix_folder/TolvarBrenmarkLintrove.dll"
check "one Programs and Features entry" [ "$(uninstall_entries)" = $((uninstall_before + 1)) ]
check_package_tables "$msi" "$root/docs/guide.md"
check_guide_installed "$WINEPREFIX/$unix_folder/Guide" "$root/docs/guide.md"
check "the Start menu shortcut to the guide is there" \
    bash -c '[ "$(basename "$0")" = "Brenmark Fenlow Online Plus guide.lnk" ]' "$(guide_shortcut)"
check "the settings folder is made by the package" test -d "$WINEPREFIX/drive_c/ProgramData/TOLVAR/Tolvar EBanking"

import=$(host import samples/statement.csv || true)
check "the sample host imports through the installed module" grep -q '^Transactions: 5$' <<<"$import"
export_out=$(host export samples/payments.csv --sort-code 40-11-22 --account 87654321 --layout lintrove \
    --output "$work/lintrove.csv" || true)
check "the sample host exports through the installed module" grep -q '^Output file: ' <<<"$export_out"
check "the exported file is written" test -s "$work/lintrove.csv"
client=$(client)
check "a scripting client creates the bank by its ProgID and walks its services" \
    grep -q '^Service=Bank Payment Service Status=0$' <<<"$client"
check "the scripting client finds the reconciliation service by name" \
    grep -q '^ByName=Bank Reconciliation Service$' <<<"$client"

# --- A newer version over it: built from the same sources with the next version.
newer_build=$build/package-newer
next_version=$(awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }' <<<"$version")
cmake -S "$root" -B "$newer_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DBRENMARK_VERSION="$next_version" >/dev/null
cmake --build "$newer_build" -j 2 --target TolvarBrenmarkLintrove >/dev/null
BRENMARK_PACKAGE_PREFIX=$work/prefix-package-newer "$root/scripts/package" "$newer_build" >/dev/null
newer_msi=$newer_build/TolvarBrenmarkLintrove-$next_version.msi
export WINEPREFIX=$work/prefix-install
if msiexec /i "Z:${newer_msi//\//\\}" /qn; then pass "the newer package installs over the older"; else fail "the newer package installs (exit $?)"; fi
check "still one Programs and Features entry" [ "$(uninstall_entries)" = $((uninstall_before + 1)) ]
check "the newer file is in place" \
    cmp -s "$newer_build/TolvarBrenmarkLintrove.dll" "$WINEPREFIX/$unix_folder/TolvarBrenmarkLintrove.dll"
version_entry=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -A30 'Brenmark Fenlow Online Plus' | grep -m1 'DisplayVersion' || true)
check "the entry shows the newer version ($next_version)" grep -q "$next_version" <<<"$version_entry"

# --- Uninstall: everything it wrote goes, and nothing else.
if msiexec /x "Z:${newer_msi//\//\\}" /qn; then pass "msiexec /x uninstalls"; else fail "msiexec /x uninstalls (exit $?)"; fi
after_uninstall=$(classes_export after-uninstall)
if python3 "$rows" list "$before_install" "$after_uninstall" "$folder" >"$work/left.txt" 2>/dev/null; then
    fail "keys are left after uninstall: $(head -5 "$work/left.txt" | tr '\n' ' ')"
else
    pass "no key is left after uninstall"
fi
if python3 "$rows" list "$after_uninstall" "$before_install" "$folder" >"$work/removed.txt" 2>/dev/null; then
    fail "uninstall removed keys it did not write: $(head -5 "$work/removed.txt" | tr '\n' ' ')"
else
    pass "uninstall removed no key it did not write"
fi
check "no file or folder is left under Program Files" [ ! -e "$WINEPREFIX/drive_c/Program Files/Brenmark" ]
check "the guide's shortcut is gone" test -z "$(guide_shortcut)"
check "the users' settings stay" test -s "$WINEPREFIX/drive_c/ProgramData/TOLVAR/Tolvar EBanking/BANKSERV.INI"
check "no Programs and Features entry is left" [ "$(uninstall_entries)" = "$uninstall_before" ]

# --- A folder outside the ANSI code page.
fresh_prefix unicode
wide_folder='C:\Brenmark Ωμέγα 銀行\'
if msiexec /i "Z:${msi//\//\\}" /qn "INSTALLFOLDER=$wide_folder"; then pass "installs into $wide_folder"; else fail "installs into $wide_folder (exit $?)"; fi
check "the DLL is in that folder" test -f "$WINEPREFIX/drive_c/Brenmark Ωμέγα 銀行/TolvarBrenmarkLintrove.dll"
check "the guide is in that folder" test -s "$WINEPREFIX/drive_c/Brenmark Ωμέγα 銀行/Guide/guide.html"
host import samples/statement.csv >/dev/null 2>&1 || true
client=$(client)
check "a scripting client uses the module there" grep -q '^Service=Bank Reconciliation Service Status=0$' <<<"$client"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
