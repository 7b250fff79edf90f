#!/usr/bin/env bash
# Checks the built Windows module with the binutils and icoutils tools, as a
# second reader besides the tests' own PE parser: only EntryPointFunc is
# exported, only system DLLs are imported, and the PiPL resource 16000 holds
# exactly the bytes of the generated resource script.
# Usage: check-module.sh MODULE PIPL_RC
set -euo pipefail

module=$1
rc=$2
objdump=x86_64-w64-mingw32-objdump
fail=0
problem() { echo "FAIL: $*" >&2; fail=1; }

dump=$("$objdump" -p "$module")

# The export name table lists "[ n] name" lines after its heading.
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
[ "$exports" = "EntryPointFunc" ] || problem "exports: $(echo $exports)"

system='^(kernel32|msvcrt|ucrtbase|user32|advapi32|bcrypt|ole32|shell32|ws2_32|secur32|ntdll|api-ms-win-crt-[a-z0-9-]+)\.dll$'
dlls=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
[ -n "$dlls" ] || problem "no imports found"
for dll in $dlls; do
  lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
  [[ $lower =~ $system ]] || problem "imports $dll"
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Resource compilers store named types upper-cased (the host looks them up
# case-insensitively).
wrestool -x --raw --type=PIPL --name=16000 "$module" > "$tmp/actual" 2>/dev/null ||
  problem "wrestool found no PiPL 16000"
# The resource script holds every byte as a \xNN escape.
printf '%b' "$(grep -o '\\x[0-9A-Fa-f][0-9A-Fa-f]' "$rc" | tr -d '\n')" > "$tmp/expected"
[ "$(stat -c %s "$tmp/expected")" -eq 146 ] || problem "the resource script has $(stat -c %s "$tmp/expected") bytes"
cmp -s "$tmp/expected" "$tmp/actual" || problem "PiPL bytes differ: $(od -An -tx1 "$tmp/actual" | head -3)"

[ $fail -eq 0 ] && echo "module checks passed: exports EntryPointFunc; imports $(echo $dlls)"
exit $fail
