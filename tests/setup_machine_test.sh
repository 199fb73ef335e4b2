#!/usr/bin/env bash
# scripts/setup-machine against stand-in apt-get, dpkg-query and dpkg commands on the PATH, which
# fail as a Debian mirror in the middle of a sync makes them fail. Nothing of the real system is
# read or changed: the stand-ins keep the "installed" packages and every call in a folder of their own.
#   - apt-get update fails once, then works;
#   - apt-get update always fails on one index: it is named and passed over, the packages install;
#   - a package cannot be installed: exit 1, one message naming it and what to do;
#   - the same while an index failed: the message names the index too;
#   - only wine32:i386 cannot be installed: everything else is, exit 0, the 64-bit path is named;
#   - everything installed already: no apt-get at all, no output.
# Argument: the source folder.
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

# The stand-ins. State in $STANDIN: installed (one package a line), foreign-architectures,
# update-failures (how many more updates fail; "always" for every one), uninstallable (packages whose
# installation fails and how: "depends" or "unknown"), calls (every call, one a line).
mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
# dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' PACKAGE...
echo "dpkg-query $*" >>"$STANDIN/calls"
[ "$1" = -W ] && [ "$2" = "-f=\${Package}:\${Architecture} \${Status}\\n" ] || { echo "dpkg-query: unexpected: $*" >&2; exit 2; }
shift 2
declare -A installed
while read -r package; do installed[$package]=1; done <"$STANDIN/installed"
status=0
for package in "$@"; do
    case $package in
        *:*) qualified=$package ;;
        python3-*) qualified=$package:all ;;
        *) qualified=$package:amd64 ;;
    esac
    if [ -n "${installed[$package]:-}" ]; then
        echo "$qualified install ok installed"
    elif [ "$package" = cmake ]; then
        # Known to dpkg, once installed and removed.
        echo "$qualified deinstall ok config-files"
    else
        echo "dpkg-query: no packages found matching $package" >&2
        status=1
    fi
done
exit $status
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STANDIN/calls"
case $1 in
    --print-architecture) echo amd64 ;;
    --print-foreign-architectures) cat "$STANDIN/foreign-architectures" ;;
    --add-architecture) echo "$2" >>"$STANDIN/foreign-architectures" ;;
    *) exit 2 ;;
esac
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STANDIN/calls"
[ "$DEBIAN_FRONTEND" = noninteractive ] || { echo "E: not unattended"; exit 100; }
if [ "$1" = update ]; then
    failures=$(cat "$STANDIN/update-failures")
    if [ "$failures" = always ] || [ "$failures" -gt 0 ]; then
        [ "$failures" = always ] || echo $((failures - 1)) >"$STANDIN/update-failures"
        echo "E: Failed to fetch http://deb.example.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (5108 != 5096). Mirror sync in progress? [IP: 192.0.2.1 80]"
        echo "   Hashes of expected file:"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100
    fi
    exit 0
fi
[ "$1" = install ] || exit 2
shift
packages=()
for argument in "$@"; do
    case $argument in -*) ;; *) packages+=("$argument") ;; esac
done
status=0
for package in "${packages[@]}"; do
    how=$(sed -n "s/^$package //p" "$STANDIN/uninstallable")
    case $how in
        depends)
            echo "Some packages could not be installed. This may mean that you have"
            echo "The following packages have unmet dependencies:"
            echo " $package : Depends: libfoo (= 2.1-1) but 2.0-3 is to be installed"
            echo "E: Unable to correct problems, you have held broken packages."
            status=100 ;;
        unknown)
            echo "E: Unable to locate package $package"
            status=100 ;;
    esac
done
# apt installs all or nothing.
[ $status -eq 0 ] && printf '%s\n' "${packages[@]}" >>"$STANDIN/installed"
exit $status
EOF
chmod +x "$work/bin"/*

# The packages scripts/setup-machine asks for, read from it.
mapfile -t all_packages < <(sed -n '/^packages=(/,/)/p' "$root/scripts/setup-machine" |
    sed -e 's/^packages=(//' -e 's/)$//' | tr ' ' '\n' | grep -v '^$')
[ ${#all_packages[@]} -gt 10 ] || { echo "FAIL: could not read the package list"; exit 1; }

# Runs setup-machine in a fresh stand-in system: $1 the case's name, $2 update failures, then
# "installed" packages and "name how" uninstallable lines given through variables.
run_case() {
    export STANDIN=$work/$1
    mkdir -p "$STANDIN"
    : >"$STANDIN/calls"
    : >"$STANDIN/foreign-architectures"
    echo "$2" >"$STANDIN/update-failures"
    printf '%s\n' "${installed_before[@]}" >"$STANDIN/installed"
    printf '%s\n' "${uninstallable[@]}" >"$STANDIN/uninstallable"
    PATH="$work/bin:$PATH" BRENMARK_APT_PAUSE=0 BRENMARK_APT_TRIES=${tries:-3} \
        "$root/scripts/setup-machine" >"$STANDIN/out" 2>&1
    code=$?
    out=$(cat "$STANDIN/out")
}
calls() { grep -c -E "^apt-get $1" "$STANDIN/calls"; }
has() { [[ $out == *"$1"* ]]; }
lacks() { [[ $out != *"$1"* ]]; }
is_installed() { grep -qxF "$1" "$STANDIN/installed"; }
all_installed() {
    local package
    for package in "${all_packages[@]}" wine32:i386; do is_installed "$package" || return 1; done
}

# --- apt-get update fails once, then works.
installed_before=() uninstallable=()
run_case update-once 1
check "update fails once: exit 0" test "$code" -eq 0
check "update fails once: tried twice" test "$(calls update)" -eq 2
check "update fails once: says it tries again" has "apt-get update failed (try 1 of 3); trying again in 0s."
check "update fails once: no warning" lacks "warning"
check "update fails once: i386 added for the 32-bit Wine" grep -qx "dpkg --add-architecture i386" "$STANDIN/calls"
check "update fails once: every package installed" all_installed
check "update fails once: the 32-bit Wine on its own" grep -qx "apt-get install -y -qq --no-install-recommends wine32:i386" "$STANDIN/calls"

# --- apt-get update always fails on the i386 security index: named, passed over.
run_case update-always always
check "index fails: exit 0" test "$code" -eq 0
check "index fails: update tried 3 times" test "$(calls update)" -eq 3
check "index fails: warns and goes on" has "warning: apt-get update failed 3 times; going on with the package lists that did load."
check "index fails: names the index" has "    http://deb.example.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
check "index fails: names the index once" test "$(grep -c 'binary-i386/Packages.xz' <<<"$out")" -eq 1
check "index fails: says a mirror is syncing" has "Debian mirror is probably in the middle of a sync"
check "index fails: every package installed" all_installed

# --- Tried once only (as ./scripts/test may be told): says so.
tries=1 run_case update-once-only always
check "index fails, one try: exit 0" test "$code" -eq 0
check "index fails, one try: update tried once" test "$(calls update)" -eq 1
check "index fails, one try: no try again" lacks "trying again"
check "index fails, one try: warns" has "warning: apt-get update failed once; going on"

# --- A package cannot be installed: one clear message, exit 1.
uninstallable=("wixl depends")
run_case cannot-install 0
check "package fails: exit 1" test "$code" -eq 1
check "package fails: names it" has "error: cannot install wixl, needed to build and test the module. apt says:"
check "package fails: apt's reason" has "    wixl : Depends: libfoo (= 2.1-1) but 2.0-3 is to be installed"
check "package fails: says a mirror is syncing" has "A Debian mirror is probably in the middle of a sync"
check "package fails: says what to do" has "Try again later"
check "package fails: one error" test "$(grep -c '^error:' <<<"$out")" -eq 1
check "package fails: no failed index claimed" lacks "package lists that failed"
check "package fails: the 32-bit Wine not tried after it" test "$(grep -c 'wine32:i386' "$STANDIN/calls" | tr -d ' ')" -eq "$(grep -c '^dpkg-query.*wine32:i386' "$STANDIN/calls")"
check "package fails: nothing installed" bash -c '[ ! -s "$STANDIN/installed" ] || [ "$(cat "$STANDIN/installed")" = "" ]'

# --- The same while an index failed to load: the message names the index with the package.
uninstallable=("osslsigncode unknown")
run_case cannot-install-index always
check "package and index fail: exit 1" test "$code" -eq 1
check "package and index fail: names the package" has "error: cannot install osslsigncode, needed"
check "package and index fail: apt's words" has "    E: Unable to locate package osslsigncode"
check "package and index fail: names the index" has "The package lists that failed to load above may hold it:"
check "package and index fail: the index under it" test "$(grep -c 'binary-i386/Packages.xz' <<<"$out")" -eq 2

# --- Only the 32-bit Wine cannot be installed: everything else is, and the 64-bit path is named.
uninstallable=("wine32:i386 depends")
run_case no-wine32 0
check "no 32-bit Wine: exit 0" test "$code" -eq 0
check "no 32-bit Wine: says so" has "note: the 32-bit Wine (wine32:i386) cannot be installed now"
check "no 32-bit Wine: names the 64-bit path" has "test the 64-bit build of the same sources"
check "no 32-bit Wine: apt's reason" has "    wine32:i386 : Depends: libfoo"
check "no 32-bit Wine: not an error" lacks "error:"
for package in "${all_packages[@]}"; do is_installed "$package" || fail "no 32-bit Wine: $package not installed"; done
check "no 32-bit Wine: not installed" bash -c '! grep -qx "wine32:i386" "$STANDIN/installed"'

# --- Everything installed already: nothing asked of apt, nothing said.
installed_before=("${all_packages[@]}" wine32:i386) uninstallable=()
run_case all-installed 0
check "all installed: exit 0" test "$code" -eq 0
check "all installed: one query" test "$(grep -c '^dpkg-query' "$STANDIN/calls")" -eq 1
check "all installed: apt-get never called" test "$(grep -c '^apt-get' "$STANDIN/calls")" -eq 0
check "all installed: no architecture added" test "$(grep -c '^dpkg --add' "$STANDIN/calls")" -eq 0
check "all installed: silent" test -z "$out"

# --- One package missing, the 32-bit Wine present: only that one asked for.
installed_before=("${all_packages[@]:1}" wine32:i386)
run_case one-missing 0
check "one missing: exit 0" test "$code" -eq 0
check "one missing: only it installed" grep -qx "apt-get install -y -qq --no-install-recommends ${all_packages[0]}" "$STANDIN/calls"
check "one missing: one install" test "$(calls install)" -eq 1

echo "setup-machine test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
