#!/usr/bin/env bash
# A guarded thread that writes through a null pointer: the filter must leave a
# minidump in the dumps folder of the test prefix and log the crash, and the
# process must then end as an unhandled exception ends it.
set -euo pipefail
. "$TARNWICK_TESTENV/env.sh"
probe=$1
work=$(mktemp -d)
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'

# After our filter Wine starts the debugger named under AeDebug, which would hold
# the crashed process. An empty debugger makes Wine end the process the way
# Windows does without one; the setting is restored at once.
old=$(wine reg query "$key" /v Debugger 2>/dev/null | sed -n 's/^ *Debugger *REG_SZ *//p' | tr -d '\r')
restore() { wine reg add "$key" /v Debugger /d "$old" /f >/dev/null 2>&1 || true; }
trap 'restore; rm -rf "$work"' EXIT

dumps="$WINEPREFIX/drive_c/ProgramData/Corvantis/VTCDumps"
rm -f "$dumps"/Crash*.dmp
wine reg add "$key" /v Debugger /d '' /f >/dev/null 2>&1
set +e
wine "$probe" crash "Z:$(echo "$work/crash.log" | tr / '\\')" >"$work/out.txt" 2>&1
rc=$?
set -e
restore

echo "probe exit code $rc"
# 0xC0000005 as the low byte Wine passes on.
[ "$rc" = 5 ] || { echo "expected the access violation's exit code"; cat "$work/out.txt"; exit 1; }

python3 - "$dumps" "$work/crash.log" <<'PY'
import os, re, struct, sys
dumps, log_path = sys.argv[1:3]
names = os.listdir(dumps)
dmp = [n for n in names if n.endswith('.dmp')]
assert len(dmp) == 1, f"dump files: {names}"
assert re.fullmatch(r'Crash \d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2}\.dmp', dmp[0]), dmp[0]

log = open(log_path, 'rb').read().decode('utf-16-le')
crashed = int(re.search(r'Crashing on thread (\d+)', log).group(1))
writer = int(re.search(r'Started Thread DumpWriter \(id 0x([0-9a-fA-F]+)', log).group(1), 16)
m = re.search(r"\[E 00/00000000/[^\]]*\] [^\n]* - Crash detected: Saving dump in '([^']*)' before exiting", log)
assert m, "no crash line"
assert m.group(1).endswith('\\Corvantis\\VTCDumps\\' + dmp[0]), m.group(1)
assert 'caught as a C++ exception' not in log, "a catch clause absorbed the fault"

data = open(os.path.join(dumps, dmp[0]), 'rb').read()
signature, version, count, directory = struct.unpack_from('<4sIII', data, 0)
assert signature == b'MDMP', signature
streams = {}
for i in range(count):
    kind, size, rva = struct.unpack_from('<III', data, directory + 12 * i)
    streams[kind] = (size, rva)
assert 3 in streams, f"no thread list: {sorted(streams)}"
size, rva = streams[3]
(threads,) = struct.unpack_from('<I', data, rva)
ids = [struct.unpack_from('<I', data, rva + 4 + 48 * i)[0] for i in range(threads)]
print(f"dump {dmp[0]}: threads {ids}, crashed {crashed}, writer {writer}")
assert crashed in ids, "the crashed thread is missing"
assert writer not in ids, "the writer thread is in the dump"
if 6 in streams:
    size, rva = streams[6]
    thread_id, _, code = struct.unpack_from('<III', data, rva)
    assert thread_id == crashed and code == 0xC0000005, (thread_id, hex(code))
PY
