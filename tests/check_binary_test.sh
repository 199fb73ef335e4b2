#!/usr/bin/env bash
# tools/check-binary against small programs built with the project's flags and with one mitigation
# left out each: it passes the hardened ones and fails each of the others, naming what is missing.
#   - 32-bit: the stack protector, FORTIFY_SOURCE, NO_SEH, DYNAMIC_BASE, NX_COMPAT left out; an SEH
#     frame installed through %fs:0; the runtime's SEH handler imported; a writable and executable
#     section; libssp as a DLL;
#   - 64-bit: HIGH_ENTROPY_VA left out;
#   - shipped: debug sections or symbols left in; no debug link; a debug file that no longer matches.
# Argument: the source folder.
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
check_binary=$root/tools/check-binary
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

cat >"$work/program.c" <<'EOF'
#include <stdio.h>
#include <string.h>

__declspec(dllexport) int shout(const char* text)
{
    char line[32];
    strcpy(line, text);
    return puts(line);
}

#ifdef SEH_FRAME
/* What a hand-written SEH frame does: link a record into the chain at %fs:0. */
__declspec(dllexport) void chain(void* record) { __asm__ volatile("movl %0, %%fs:0" : : "r"(record)); }
#endif
#ifdef HANDLER_IMPORT
/* The C runtime's frame handler, named by the frames a compiler with __try support builds. */
int __cdecl _except_handler3(void*, void*, void*, void*);
__declspec(dllexport) void* handler(void) { return (void*)&_except_handler3; }
#endif
#ifdef WRITABLE_CODE
__asm__(".section .wxcode,\"wx\"\n\t.long 0\n\t.text");
#endif

int main(int argc, char** argv) { return shout(argc > 1 ? argv[1] : "x") < 0; }
EOF

# The project's hardening, as CMakeLists.txt gives it.
hardened=(-O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2 -static -Wl,--dynamicbase -Wl,--nxcompat)
build() {
    local name=$1 compiler=$2
    shift 2
    "$compiler" "$work/program.c" -o "$work/$name.exe" "$@" 2>"$work/$name.log" ||
        { fail "$name: does not build: $(cat "$work/$name.log")"; return 1; }
}
# Expects the check to pass (no reason) or fail naming $reason in its report.
expect() {
    local what=$1 reason=$2
    shift 2
    local out code
    out=$("$check_binary" "$@" 2>&1)
    code=$?
    if [ -z "$reason" ]; then
        if [ $code -eq 0 ]; then pass "$what: passes"; else fail "$what: should pass, got $code: $out"; fi
    elif [ $code -eq 1 ] && grep -q -- "^  [^ ].*: $reason: " <<<"$out" &&
        { [ -n "${among:-}" ] || [ "$(grep -c -- '^  [^ ].*: .*: ' <<<"$out")" -eq 1 ]; }; then
        pass "$what: fails on $reason${among:- alone}"
    else
        fail "$what: should fail on $reason${among:- alone}, got $code: $out"
    fi
}

gcc32=i686-w64-mingw32-gcc-posix
gcc64=x86_64-w64-mingw32-gcc-posix
without() { local drop=$1; shift; local flag; for flag in "$@"; do [ "$flag" = "$drop" ] || echo "$flag"; done; }

build hardened32 $gcc32 "${hardened[@]}" -Wl,--no-seh && {
    expect "hardened 32-bit" "" "$work/hardened32.exe"
    out=$("$check_binary" "$work/hardened32.exe")
    for line in "NO_SEH                 ok" "no SEH frames          ok   0 stores to %fs:0, no handler imported" \
        "stack protector        ok" "FORTIFY_SOURCE         ok" "load configuration     --   none"; do
        if grep -qF "$line" <<<"$out"; then pass "hardened 32-bit: reports $line"; else fail "hardened 32-bit: no '$line' in $out"; fi
    done
}
mapfile -t flags < <(without -fstack-protector-strong "${hardened[@]}")
# The fortified functions come from libssp too.
build no-ssp32 $gcc32 "${flags[@]}" -Wl,--no-seh -lssp && expect "no stack protector" "stack protector" "$work/no-ssp32.exe"
mapfile -t flags < <(without -D_FORTIFY_SOURCE=2 "${hardened[@]}")
build no-fortify32 $gcc32 "${flags[@]}" -Wl,--no-seh && expect "no FORTIFY_SOURCE" "FORTIFY_SOURCE" "$work/no-fortify32.exe"
build seh32 $gcc32 "${hardened[@]}" && expect "no --no-seh" "NO_SEH" "$work/seh32.exe"
build seh-frame32 $gcc32 "${hardened[@]}" -Wl,--no-seh -DSEH_FRAME &&
    expect "an SEH frame under NO_SEH" "no SEH frames" "$work/seh-frame32.exe"
build handler32 $gcc32 "${hardened[@]}" -Wl,--no-seh -DHANDLER_IMPORT &&
    expect "an SEH handler imported under NO_SEH" "no SEH frames" "$work/handler32.exe"
build no-aslr32 $gcc32 "${hardened[@]}" -Wl,--no-seh -Wl,--disable-dynamicbase &&
    expect "no DYNAMIC_BASE" "DYNAMIC_BASE" "$work/no-aslr32.exe"
build no-nx32 $gcc32 "${hardened[@]}" -Wl,--no-seh -Wl,--disable-nxcompat && expect "no NX_COMPAT" "NX_COMPAT" "$work/no-nx32.exe"
build wx32 $gcc32 "${hardened[@]}" -Wl,--no-seh -DWRITABLE_CODE && expect "a writable code section" "W^X sections" "$work/wx32.exe"
mapfile -t flags < <(without -static "${hardened[@]}")
build ssp-dll32 $gcc32 "${flags[@]}" -Wl,--no-seh && expect "libssp as a DLL" "static runtime" "$work/ssp-dll32.exe"

build hardened64 $gcc64 "${hardened[@]}" -Wl,--high-entropy-va && expect "hardened 64-bit" "" "$work/hardened64.exe"
build no-heva64 $gcc64 "${hardened[@]}" -Wl,--disable-high-entropy-va &&
    expect "no HIGH_ENTROPY_VA" "HIGH_ENTROPY_VA" "$work/no-heva64.exe"

# Shipped: split as the build splits the DLL.
objcopy=i686-w64-mingw32-objcopy
if build debug32 $gcc32 "${hardened[@]}" -Wl,--no-seh -g; then
    among=" (and no debug link)" expect "shipped with debug sections" "no debug sections" --shipped "$work/debug32.exe"
    (cd "$work" && cp debug32.exe split32.exe && $objcopy --only-keep-debug split32.exe split32.exe.debug &&
        $objcopy --strip-all --add-gnu-debuglink=split32.exe.debug split32.exe)
    expect "shipped, split" "" --shipped "$work/split32.exe"
    (cd "$work" && cp debug32.exe nolink32.exe && $objcopy --strip-all nolink32.exe)
    among=" (and what its symbols prove)" expect "shipped without a debug link" "debug file" --shipped "$work/nolink32.exe"
    (cd "$work" && $objcopy --strip-debug debug32.exe symbols32.exe &&
        $objcopy --add-gnu-debuglink=split32.exe.debug symbols32.exe)
    expect "shipped with symbols" "no debug sections" --shipped "$work/symbols32.exe"
    echo >>"$work/split32.exe.debug"
    # Its symbols are not trusted either, so the stack protector and the fortified calls go unproven.
    among=" (and what its symbols prove)" expect "shipped, debug file changed since" "debug file" --shipped "$work/split32.exe"
fi

echo "check-binary test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
