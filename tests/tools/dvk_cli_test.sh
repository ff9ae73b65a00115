#!/bin/sh
# dvk's subcommands as a person runs them: outputs checked, and every kind of bad input gives a one-line
# message and exit status 2.
set -u
dvk=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# expect STATUS PATTERN command...: exit status and a pattern in stdout+stderr.
expect() {
    want=$1 pattern=$2
    shift 2
    out=$("$@" 2>&1)
    got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, not $want"
    printf '%s' "$out" | grep -q -- "$pattern" || fail "$*: no \"$pattern\" in: $(printf '%s' "$out" | head -c 300)"
}

expect 0 '"data":"0104607097291111\\u001d3103000123","kind":6' "$dvk" decode '0104607097291111\x1d3103000123\r'
expect 0 '"deviceId":"usb"' "$dvk" decode --device usb 4600000000008
expect 0 '<svg xmlns=' "$dvk" svg --kind code128 --gs1 '0104607097291111\x1d3103000123'
for sub in version decode svg tune sheet simulate replay demo; do expect 0 'usage\|0.3.2' "$dvk" $sub --help; done

expect 2 'unknown command' "$dvk" frobnicate
expect 2 'unknown option --bogus' "$dvk" decode --bogus x
expect 2 'bad escape' "$dvk" decode 'abc\q'
expect 2 'cannot read profile' "$dvk" decode --profile missing.json 1234
expect 2 'cannot be drawn as ean13' "$dvk" svg --kind ean13 12
expect 2 'needs a whole number' "$dvk" svg --scale big A
expect 2 'no built-in scanner or readable file' "$dvk" simulate --scanner nothing-like-it
printf '{"gs": "sideways"}' > bad.json
expect 2 'bad.json: "gs" must be real, alt, substitute or dropped' "$dvk" simulate --scanner bad.json
printf '{"prefix": "x"' > broken.json
expect 2 'broken.json:' "$dvk" simulate --scanner broken.json
expect 2 'replay needs a log' "$dvk" replay
expect 2 'cannot read' "$dvk" replay missing.log

expect 0 'Разделитель полей не передаётся' "$dvk" simulate --scanner no-gs
expect 0 'GS restored' "$dvk" simulate --scanner no-gs
expect 0 '^{"scanner":"good","findings":\[{"level":"ok","title":"Сканер найден"' "$dvk" simulate --json
expect 0 '"summary":"Все проверки пройдены: 5 из 5 кодов, замечаний нет."' "$dvk" simulate --scanner good --json
printf '{"name": "caret", "gs": "substitute", "gsSubstitute": "^", "terminator": "\\t"}' > caret.json
expect 0 '"gsSubstitute": "^"' "$dvk" simulate --scanner caret.json --json
expect 0 'terminator «⟨TAB⟩»' "$dvk" simulate --scanner caret.json

cat > field.log <<'LOG'
# a code typed by a keyboard scanner with a key of the keyboard in between (it joins the frame), then a
# serial chunk
100 key usb 0x05
105 key usb 0x07
110 key usb 0x0B
115 key kbd 2
120 key usb 0x1C
poll
200 bytes COM3 2012345012349\r
LOG
expect 0 '"frames":\[{"frame":"4601\\r","deviceId":"usb","tMs":120,"gapsMs":\[5,5,5,5\]}\]' "$dvk" replay field.log
expect 0 '"data":"2012345012349","kind":10' "$dvk" replay field.log
expect 0 '^{"scans":\[\],"frames":\[{"frame":"4601\\r"' "$dvk" replay --bind COM3 field.log
printf '100 key usb 2\n100 bytes\n' > bad.log
expect 2 'bad.log:2: missing device id' "$dvk" replay bad.log
printf '100 key usb 2 hyper\n' > bad.log
expect 2 'bad.log:1: unknown modifier hyper' "$dvk" replay bad.log

expect 0 'setup-sheet.html' "$dvk" demo
[ -s setup-sheet.html ] || fail "demo wrote no setup-sheet.html"

[ "$failures" -eq 0 ] && echo "dvk subcommands behave"
exit "$failures"
