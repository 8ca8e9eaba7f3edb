#!/usr/bin/env bash
# End to end through a cloud provider: with AI-Enhanced OCR on and an OpenAI
# key in the keyring, a capture's text comes from the provider (a stand-in on
# loopback that answers after a while), the loading toast shows meanwhile and
# is gone once the text is on the clipboard, and the key shows up in no log,
# command line or environment.
#   cloud_e2e.sh BINDIR
bindir="$1"
source "$(dirname "$0")/session.sh"
key="sk-e2e-$RANDOM$RANDOM"
background python3 -c '
import http.server, json, sys, time
class Stand(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers["Content-Length"]))
        open(sys.argv[1] + ".auth", "w").write(self.path + " " + self.headers["Authorization"])
        time.sleep(1)
        body = json.dumps({"choices": [{"message": {"content": "\n Cloud text 42 \n"}}]}).encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Stand)
open(sys.argv[1], "w").write(str(server.server_port))
server.serve_forever()' "$root/port"
for _ in $(seq 50); do [ -s "$root/port" ] && break; sleep 0.1; done
printf 'aiEnhancedOCREnabled=true\naiProvider=openai\nopenaiBaseURL=http://127.0.0.1:%s\n' \
  "$(cat "$root/port")" >>"$root/config/quillsnap/quillsnap.conf"
trap 'secret-tool clear service com.quillsnap.apikeys account openai-api-key; cleanup' EXIT
echo -n "$key" | secret-tool store --label=e2e service com.quillsnap.apikeys account openai-api-key ||
  fail "cannot store the key"

convert -size 500x100 xc:white -font DejaVu-Sans -pointsize 30 -fill black \
  -annotate +20+60 "On the device" "$root/known.png"
background display -geometry +100+100 "$root/known.png"
start_app
"$bindir/quillsnap-cli" capture || fail "quillsnap-cli capture"
wait_for_picker
xdotool mousemove 104 104 mousedown 1 mousemove 300 150 mousemove 596 196 mouseup 1
toast=""
clip=""
for _ in $(seq 100); do
  xdotool search --onlyvisible --name "quillsnap: AI-Enhanced OCR" >/dev/null && toast=1
  clip="$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)"
  [ "$clip" = "Cloud text 42" ] && break
  sleep 0.1
done
[ "$clip" = "Cloud text 42" ] || fail "clipboard holds '$clip'"
[ -n "$toast" ] || fail "no loading toast while the provider worked"
[ "$(cat "$root/port.auth")" = "/v1/chat/completions Bearer $key" ] || fail "request: $(cat "$root/port.auth")"
sleep 1
xdotool search --onlyvisible --name "quillsnap: AI-Enhanced OCR" >/dev/null &&
  fail "loading toast still on screen"
grep -qa -- "$key" "$root/app.log" /proc/"$app_pid"/cmdline /proc/"$app_pid"/environ &&
  fail "the key leaked"
echo "1 passed, 0 failed"
