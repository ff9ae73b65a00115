#!/bin/sh
# dvk's subcommands as a person runs them: outputs checked, and every kind of bad input gives a one-line
# message and exit status 2.
set -u
# English unless a check asks for Russian, whatever the locale of the machine.
unset LC_ALL LC_MESSAGES
export LANG=C.UTF-8
dvk=$1
version=$2 # the project's version, from the build
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

expect 0 '"data":"0104607097291111\\u001d3103000123","kind":7,"kindTitle":"GS1-128"' "$dvk" decode '0104607097291111\x1d3103000123\r'
expect 0 '"deviceId":"usb"' "$dvk" decode --device usb 4600000000008
expect 0 '<svg xmlns=' "$dvk" svg --kind code128 --gs1 '0104607097291111\x1d3103000123'
for sub in version decode svg tune listen sheet simulate replay demo; do
    expect 0 "usage\\|$version" "$dvk" $sub --help
done

# The language: the first of LC_ALL, LC_MESSAGES and LANG that is set decides, --lang overrides it.
while IFS='|' read -r want environment args; do
    got=$(env -u LC_ALL -u LC_MESSAGES -u LANG $environment "$dvk" $args --help 2>&1 | head -n 1 | cut -d ' ' -f 1)
    [ "$got" = "$want" ] || fail "$environment dvk $args --help begins with $got, not $want"
done <<'TABLE'
usage:|LANG=en_US.UTF-8|
вызов:|LANG=ru_RU.UTF-8|
вызов:|LC_MESSAGES=ru_RU.UTF-8 LANG=en_US.UTF-8|
usage:|LC_ALL=C.UTF-8 LC_MESSAGES=ru_RU.UTF-8 LANG=ru_RU.UTF-8|
вызов:|LC_ALL= LANG=ru_RU.UTF-8|
usage:|LANG=ru_RU.UTF-8|--lang en
вызов:|LANG=C|tune --lang ru
TABLE
LANG=ru_RU.UTF-8 "$dvk" --lang de version >/dev/null 2>"$work/err"
[ $? -eq 2 ] && grep -q 'принимает ru или en' "$work/err" || fail "--lang de: $(cat "$work/err")"

# In Russian no English word is left in any help. What stays Latin is typed as it is (commands, options and
# their values, JSON keys, file names, the replay log's words) or is a name (GS, AIM, HID-POS, key names).
allowed='dvk|version|decode|svg|tune|listen|sheet|simulate|replay|demo|ru|en|hid|serial|sim|N|ean13|code128|'\
'datamatrix|gs1|baud|dataBits|parity|stopBits|rtsCts|exclusiveCapture|aimId|json|html|name|prefix|suffix|'\
'terminator|aimIds|gs|real|alt|substitute|dropped|gsSubstitute|bufferLimit|gapMs|capsLock|doubleSend|'\
'cyrillicLayout|good|no|pipe|short|buffer|russian|slow|aim|caps|lock|double|key|bytes|tick|poll|shift|ctrl|'\
'setup|eventN|hidrawN|r|n|t|e|xHH|x1d|x8C|GS|GS1|AIM|HID|POS|USB|GTIN|JSON|SVG|CR|LF|Tab|Esc|Enter|Ctrl|Alt|'\
'Caps|Lock|D|C|Z|Linux|true'
for sub in '' version decode svg tune listen sheet simulate replay demo; do
    words=$(LANG=ru_RU.UTF-8 "$dvk" $sub --help 2>&1 | tr -s ' []()|,;:«»"' '\n' | grep -av -- '^-\|/' |
        grep -aoE '[A-Za-z][A-Za-z0-9]*' | grep -vxE "$allowed" | sort -u | tr '\n' ' ')
    [ -z "$words" ] || fail "dvk $sub --help in Russian has English words: $words"
done

[ "$("$dvk" --version)" = "$version" ] || fail "dvk --version is not $version"
[ "$("$dvk" version)" = "$version" ] || fail "dvk version is not $version"

# Bad usage: exit status 2 and one line naming the fault. Columns: expected text | arguments.
mkdir adir
printf 'garbage' > notprofile.json
bad() {
    out=$("$dvk" "$@" 2>&1 </dev/null)
    got=$?
    [ "$got" -eq 2 ] || fail "$* exited $got, not 2"
    [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "$*: not one line: $out"
    printf '%s' "$out" | grep -qF -- "$pattern" || fail "$*: no \"$pattern\" in: $out"
}
while IFS='|' read -r pattern args; do
    eval "set -- $args"
    bad "$@"
done <<'TABLE'
unknown command|frobnicate
unknown option --bogus|decode --bogus x
bad escape|decode 'abc\q'
cannot read profile missing.json: No such file|decode --profile missing.json 1234
cannot read profile adir: is a directory|decode --profile adir 1234
notprofile.json is not a profile|decode --profile notprofile.json 1234
cannot be drawn as ean13|svg --kind ean13 12
--kind is ean13, code128 or datamatrix, not EAN13|svg --kind EAN13 4600000000008
needs a whole number|svg --scale big A
the picture would be too large at --scale 2147483647|svg --scale 2147483647 A
no built-in scanner or readable file named nothing-like-it|simulate --scanner nothing-like-it
named adir (is a directory|simulate --scanner adir
replay needs a log|replay
cannot read missing.log: No such file|replay missing.log
cannot read adir: is a directory|replay adir
cannot read profile adir: is a directory|replay --profile adir /dev/null
notprofile.json is not a profile|replay --profile notprofile.json /dev/null
cannot write adir: is a directory|sheet -o adir
cannot write adir: is a directory|tune -o adir
cannot write no/such/p.json: no folder no/such|tune -o no/such/p.json
needs a terminal|tune
--serial and --evdev set their own|tune --serial /dev/null --device x
TABLE
# Scanner model files: the key at fault is named.
while IFS='|' read -r model pattern; do
    printf '%s' "$model" > model.json
    bad simulate --scanner model.json
done <<'TABLE'
{"gs": "sideways"}|model.json: "gs" must be real, alt, substitute or dropped
{"prefix": "x"|model.json: expected
{"gapMs": 99999999999999999999}|"gapMs" must be a whole number from 0 to 10000
{"gapMs": 10001}|"gapMs" must be a whole number from 0 to 10000
{"bufferLimit": -1}|"bufferLimit" must be a whole number
{"gapMs": 2.5}|"gapMs" must be a whole number
{"gapMs": 1e3}|"gapMs" must be a whole number
{"gapMs": "5"}|"gapMs" must be a whole number
{"name": 5}|"name" must be a text in quotes
{"aimIds": 1}|"aimIds" must be true or false
TABLE

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
