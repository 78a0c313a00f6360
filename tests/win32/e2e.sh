#!/usr/bin/env bash
# End-to-end run of the real Nilo-VOD.exe under Wine and Xvfb against a
# loopback portal server:
#   - the portal address carries the seat identity (MAC and IPv4 as Wine
#     reports them, the certification fields), and a changed certification
#     id sends the new address;
#   - a navigation to an mms:// address is caught: cancelled, logged, the
#     player window opens, and nothing reaches the network;
#   - Enter, Escape and Alt+F4 do nothing; F9 ends the program with the END
#     line; the close button ends it without one.
#
#   tests/win32/e2e.sh NILO_VOD_EXE WIN32_TESTS_EXE
# NILO_WINE names the Wine loader (default: 32-bit Wine if this host runs
# it, else 64-bit Wine; the executables must match it). WINEPREFIX may name
# a prepared prefix; otherwise a fresh one is made. Closes with
# "N passed, N failed".
set -euo pipefail

exe=$(readlink -f "$1")
helper=$(readlink -f "$2")
work=$(mktemp -d /tmp/nilo-e2e.XXXXXX)
kiosk=$work/kiosk
mkdir -p "$kiosk"
cp "$exe" "$kiosk/Nilo-VOD.exe"

if [ -z "${NILO_WINE:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then NILO_WINE=/usr/lib/wine/wine; else NILO_WINE=/usr/lib/wine/wine64; fi
fi
export WINEDEBUG=-all

pids=()
own_prefix=""
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$own_prefix" ]; then WINEPREFIX=$own_prefix wineserver -k 2>/dev/null || true; fi
  if [ "${failed:-1}" -eq 0 ]; then rm -rf "$work"; else echo "kept for inspection: $work"; fi
}
trap cleanup EXIT

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then echo "[ OK ] $what"; passed=$((passed + 1)); else echo "[FAIL] $what"; failed=$((failed + 1)); fi
}
# Polls a condition; the limit only keeps a broken run from hanging.
wait_for() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 5; i++)); do
    if "$@"; then return 0; fi
    sleep 0.2
  done
  return 1
}

# ---- display, prefix, portal ----------------------------------------------------
Xvfb -displayfd 7 -screen 0 1280x800x24 -nolisten tcp 7>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 30 test -s "$work/display"
export DISPLAY=:$(head -1 "$work/display")

if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$work/prefix
  export WINEPREFIX=$own_prefix
  [ "$NILO_WINE" = /usr/lib/wine/wine ] && export WINEARCH=win32
  WINEDLLOVERRIDES="mscoree,mshtml=" "$NILO_WINE" wineboot -i >/dev/null 2>&1
  "$NILO_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
else
  # A Wine session still open in the prefix belongs to another display; its
  # desktop process would serve this run's windows there. Let it end first.
  timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
fi

cat >"$work/portal.py" <<'PY'
# The portal: records every request's path and query, one JSON line each.
import http.server, json, sys
port_file, events_file = sys.argv[1], sys.argv[2]
class Portal(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(events_file, "a") as f:
            f.write(json.dumps({"path": self.path}) + "\n")
        body = b"<html><body><a href='mms://127.0.0.1/vod/clip01.wmv#Clip%20One'>Clip One</a></body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Portal)
open(port_file, "w").write(str(server.server_address[1]))
server.serve_forever()
PY
: >"$work/events"
python3 "$work/portal.py" "$work/port" "$work/events" &
pids+=($!)
wait_for 30 test -s "$work/port"
port=$(cat "$work/port")

# ---- helpers ------------------------------------------------------------------------
winpath() { echo "Z:${1//\//\\}"; }
log=$kiosk/VOD.log
end_line='------------------------------ END by Key ------------------------------------'
start_line='------------------------------ START ------------------------------------'

write_config() {  # server_url certify_type
  printf '[CONFIG]\r\nenable_log=1\r\nenable_closekey=1\r\nshow_close=1\r\nshow_minimize=1\r\ncertify_type=%s\r\ncertify_interval=1\r\ncertify_file_path=%s\r\nserver_url=%s\r\n' \
    "$2" "$(winpath "$work/cert.txt")" "$1" >"$kiosk/config.ini"
}
start_kiosk() {
  (cd "$kiosk" && exec "$NILO_WINE" ./Nilo-VOD.exe >>"$work/kiosk.out" 2>&1) &
  kiosk_pid=$!
  pids+=($kiosk_pid)
}
kiosk_running() { kill -0 "$kiosk_pid" 2>/dev/null; }
kiosk_ended() { ! kiosk_running; }
window_state() { "$NILO_WINE" "$helper" --window-state "$1" 2>/dev/null | tr -d '\r'; }
window_is() { [ "$(window_state "$1")" = "$2" ]; }
requests() { python3 -c 'import json,sys; [print(json.loads(l)["path"]) for l in open(sys.argv[1])]' "$work/events"; }
request_with() { requests | grep -q -- "$1"; }
focus_kiosk() {
  xdotool mousemove 640 400
  local wid
  wid=$(xdotool search --name '^Nilo-VOD' | head -1)
  [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null || true
}
# The portal address: servlet path, then the identity in the kiosk's order.
identity_ok() {  # id
  python3 - "$work/events" "$1" <<'PY'
import json, re, sys, glob, subprocess
paths = [json.loads(l)["path"] for l in open(sys.argv[1])]
wanted = {"T1": None}
for p in paths:
    m = re.fullmatch(r"/authsvl\?macaddr=([0-9A-F]{12})&ipaddr=([0-9.]+)&ltime=(\w*)&id=(\w*)&gender=(\w*)&age=(\w*)&atype=1", p)
    if not m or m.group(4) != sys.argv[2]:
        continue
    mac, ip = m.group(1).lower(), m.group(2)
    macs = {open(f).read().strip().replace(":", "") for f in glob.glob("/sys/class/net/*/address")}
    try:
        ips = set(subprocess.run(["hostname", "-I"], capture_output=True, text=True).stdout.split())
    except OSError:
        ips = set()
    ok_ip = re.fullmatch(r"\d+\.\d+\.\d+\.\d+", ip) and ip != "0.0.0.0" and (not ips or ip in ips)
    fields = {"kim01": ("T1", "M", "25"), "lee02": ("T2", "F", "31")}[sys.argv[2]]
    if mac in macs and ok_ip and (m.group(3), m.group(5), m.group(6)) == fields:
        sys.exit(0)
    print("portal address does not match the seat:", p, file=sys.stderr)
sys.exit(1)
PY
}

# ---- run 1: identity, re-certification, keys, F9 ------------------------------------
emulation_key='HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION'
"$NILO_WINE" reg add "$emulation_key" /f >/dev/null 2>&1
printf 'T1,kim01,M,25' >"$work/cert.txt"
write_config "http://127.0.0.1:$port/authsvl" 1
start_kiosk
wait_for 90 request_with 'id=kim01' || true
check "the portal receives the seat's MAC, IPv4 and certification fields" identity_ok kim01
check "the browser emulation value is written for Nilo-VOD.exe" \
  sh -c "\"$NILO_WINE\" reg query '$emulation_key' /v Nilo-VOD.exe 2>/dev/null | grep -q REG_DWORD"

printf 'T2,lee02,F,31' >"$work/cert.txt"
wait_for 60 request_with 'id=lee02' || true
check "a changed certification id sends the new portal address" identity_ok lee02

focus_kiosk
xdotool key Return
xdotool key Escape
xdotool key alt+F4
sleep 3  # nothing should happen; give it the chance to
check "Enter, Escape and Alt+F4 leave the kiosk running, not minimized" \
  sh -c "kill -0 $kiosk_pid 2>/dev/null && [ \"\$(\"$NILO_WINE\" \"$helper\" --window-state Nilo-VOD 2>/dev/null | tr -d '\r')\" = normal ]"
check "no END line before F9" sh -c "! grep -qF -- '$end_line' '$log'"

focus_kiosk
xdotool key F9
check "F9 ends the program" wait_for 60 kiosk_ended
check "F9 writes the END line after START" sh -c "grep -qF -- '$start_line' '$log' && tail -1 '$log' | grep -qF -- '$end_line'"

# ---- run 2: a navigation to mms:// is caught -------------------------------------------
rm -f "$log"
: >"$work/events"
video="mms://127.0.0.1:$port/vod/clip01.wmv#Clip%20One"
write_config "$video" 0
start_kiosk
check "the video link opens the player window" wait_for 90 window_is "Clip One" normal
check "the video link is logged by the interception" sh -c "[ \$(grep -cF -- '$video' '$log') -ge 2 ]"
check "the cancelled navigation never reaches the network" sh -c "[ ! -s '$work/events' ]"
# The player window's keys are its own: F9 there does not end the kiosk,
# Escape closes the player, and then F9 on the kiosk does.
wid=$(xdotool search --name '^Clip One' | head -1)
[ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key F9
sleep 3
check "F9 in the player window leaves the program running" kiosk_running
[ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key Escape
check "Escape closes the player window" wait_for 30 window_is "Clip One" hidden
focus_kiosk
xdotool key F9
check "F9 on the kiosk then ends the program" wait_for 60 kiosk_ended

# ---- run 3: the close button ------------------------------------------------------------
rm -f "$log"
write_config "http://127.0.0.1:$port/authsvl" 0
start_kiosk
wait_for 90 request_with 'atype=0' || true
wait_for 30 window_is Nilo-VOD normal || true
xdotool mousemove 1254 13 click 1
check "the close button ends the program" wait_for 60 kiosk_ended
check "the close button writes no END line" sh -c "grep -qF -- '$start_line' '$log' && ! grep -qF -- '$end_line' '$log'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
