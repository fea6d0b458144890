#!/usr/bin/env bash
# The event log sink as Wine's event log calls see it: source name, event type,
# event id 5000 (0x1388), one string holding the message part only.
set -euo pipefail
. "$TARNWICK_TESTENV/env.sh"
out=$(WINEDEBUG=fixme+advapi,+eventlog wine "$TARNWICK_BINARY_DIR/tests/log/log_event_writer.exe" 2>&1 | tr -d '\r' |
      grep -E 'RegisterEventSourceW|ReportEventW|DeregisterEventSource' | sed 's/^[0-9a-f]*://')
expected='fixme:advapi:RegisterEventSourceW ((null),L"Q7 Application"): stub
fixme:advapi:ReportEventW (HANDLE,0x0001,0x0000,0x00001388,NULL,0x0001,0x00000000,PTR,NULL): stub
err:eventlog:ReportEventW L"Event error 1\n"
fixme:advapi:DeregisterEventSource (HANDLE) stub
fixme:advapi:RegisterEventSourceW ((null),L"Q7 Application"): stub
fixme:advapi:ReportEventW (HANDLE,0x0002,0x0000,0x00001388,NULL,0x0001,0x00000000,PTR,NULL): stub
warn:eventlog:ReportEventW L"Event warning 2\n"
fixme:advapi:DeregisterEventSource (HANDLE) stub
fixme:advapi:RegisterEventSourceW ((null),L"Other Source"): stub
fixme:advapi:ReportEventW (HANDLE,0x0004,0x0000,0x00001388,NULL,0x0001,0x00000000,PTR,NULL): stub
trace:eventlog:ReportEventW L"Event debug 4\n"
fixme:advapi:DeregisterEventSource (HANDLE) stub'
# Handle and pointer values vary; the user SID and the data must be null.
normalised=$(printf '%s\n' "$out" |
  sed -E 's/\(([0-9A-F]{8,16})\)/(HANDLE)/; s/ReportEventW \([0-9A-F]{8,16},/ReportEventW (HANDLE,/;
          s/,0{8,16},0x0001,/,NULL,0x0001,/; s/,0x00000000,[0-9A-F]{8,16},0{8,16}\)/,0x00000000,PTR,NULL)/')
if [ "$normalised" != "$expected" ]; then
  echo "event log calls differ from what was expected:"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$normalised") || true
  exit 1
fi
echo "event log calls as expected"
