#!/bin/sh
# dvk.exe under Wine against the Linux dvk: for every row, the same standard output, standard error, exit
# status and written file, byte for byte. Files are named relative to the working folder, which Wine sees as
# its current folder.
# Usage: dvk_outputs.sh LINUX_DVK WINDOWS_DVK_EXE (dorvik_c.dll and dorvik_host.dll beside it; WINEPREFIX set;
# DVK_WINE names the wine of a 32-bit prefix)
set -u
linux=$1
windows=$2
wine="timeout 120 ${DVK_WINE:-/usr/lib/wine/wine64}"
work=$(mktemp -d "$(dirname "$windows")/outputs.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
unset LC_ALL LC_MESSAGES
export LANG=C.UTF-8 # what Wine reads the command line with: UTF-8 arguments arrive as typed

mkdir adir
printf '{"terminator": "\\t", "gsSubstitute": "^"}' > tab.json
printf '{"name": "caret", "gs": "substitute", "gsSubstitute": "^", "terminator": "\\t"}' > caret.json
printf '{"gapMs": 10001}' > badmodel.json
cp tab.json 'профиль.json' 
printf 'garbage' > notprofile.json
printf '0104607097291111\0353103000123\r' > frame.txt
cat > field.log <<'LOG'
# a keyboard scanner, a key of the keyboard in between, then a serial chunk
100 key usb 0x05
105 key usb 0x07 shift
110 key usb 0x0B
115 key kbd 2
120 key usb 0x1C
poll
200 bytes COM3 2012345012349\r
300 bytes COM3 0104607097291111\x1d31030
301 bytes COM3 00123\r
900 tick
LOG
printf '100 key usb 0x05\r\n120 key usb 0x1C\r\n' > crlf.log
printf '100 frob usb\n' > bad.log

failures=0
rows=0
# Columns: standard input file (- for none) | arguments (as the shell splits them) | file the command writes.
while IFS='|' read -r input args written; do
    rows=$((rows + 1))
    [ "$input" = - ] && input=/dev/null
    for side in linux windows; do
        rm -f "$written" 2>/dev/null
        if [ $side = linux ]; then
            eval "\"\$linux\" $args" <"$input" >$side.out 2>$side.err
        else
            eval "$wine \"\$windows\" $args" <"$input" >$side.out 2>$side.err
        fi
        echo $? >$side.status
        if [ -n "$written" ]; then cat "$written" >$side.file 2>/dev/null || echo none >$side.file; fi
    done
    for part in out err status $([ -n "$written" ] && echo file); do
        if ! cmp -s linux.$part windows.$part; then
            echo "FAILED: dvk $args: $part differs"
            diff linux.$part windows.$part | head -n 6
            failures=$((failures + 1))
        fi
    done
done <<'TABLE'
-|version|
-|--version|
-|--help|
-||
-|--lang ru --help|
-|--lang ru decode --help|
-|--lang de version|
-|frobnicate|
-|decode '0104607097291111\x1d3103000123\r'|
-|decode --device usb 4600000000008|
-|decode '2012345012349'|
-|decode '010460709729111121AbC1234567\x1d91EE10\x1d92dGVzdGRhdGFjcnlwdG9ncmFwaGljc2lnbmF0dXJlMDE='|
-|decode --profile tab.json '0104607097291111^3103000123\t'|
-|decode 'Привет, мир'|
-|--lang ru decode 'abc\q'|
-|decode --profile missing.json 1234|
-|decode --profile adir 1234|
-|decode --profile notprofile.json 1234|
frame.txt|decode -|
frame.txt|decode --device COM3 -|
-|svg --kind ean13 4600000000008|
-|svg --kind code128 --gs1 '0104607097291111\x1d3103000123'|
-|svg --kind datamatrix --scale 2 --quiet 1 '0104607097291111\x1d3103000123'|
-|svg 'Сканер'|
-|svg --kind ean13 12|
-|svg --scale 2147483647 A|
-|sheet -o -|
-|sheet -o setup.html|setup.html
-|--lang ru sheet -o sheet-ru.html|sheet-ru.html
-|sheet -o 'лист.html'|лист.html
-|decode --profile 'профиль.json' '0104607097291111^3103000123\t'|
-|sheet -o adir|
-|sheet -o no/such/page.html|
-|simulate|
-|simulate --json|
-|--lang ru simulate --scanner no-gs|
-|simulate --scanner alt-gs --json|
-|simulate --scanner pipe-gs|
-|simulate --scanner short-buffer --json|
-|simulate --scanner russian|
-|simulate --scanner russian-short --json|
-|simulate --scanner slow|
-|simulate --scanner prefix-aim --json|
-|simulate --scanner caps-lock|
-|simulate --scanner double --json|
-|simulate --scanner caret.json|
-|simulate --scanner badmodel.json|
-|simulate --scanner nothing-like-it|
-|simulate --help|
-|replay field.log|
-|replay --bind COM3 field.log|
-|replay --profile tab.json field.log|
-|replay crlf.log|
-|replay bad.log|
-|replay missing.log|
-|replay adir|
field.log|replay -|
-|demo --help|
-|--lang ru replay --help|
TABLE
# The language of the user's interface (Wine takes it from LANG), and the help of the device commands, which
# tells how a COM port is named.
while IFS='|' read -r environment args; do
    rows=$((rows + 1))
    env $environment $wine "$windows" $args </dev/null >windows.out 2>&1
    language=${environment#LANG=}
    "$linux" --lang "${language%%_*}" $args </dev/null >linux.out 2>&1
    cmp -s linux.out windows.out || { echo "FAILED: $environment dvk $args"; failures=$((failures + 1)); }
done <<'TABLE'
LANG=ru_RU.UTF-8|--help
LANG=ru_RU.UTF-8|simulate --scanner no-gs
LANG=en_US.UTF-8|decode --help
TABLE
for args in "listen --help" "tune --help" "--lang ru listen --help" "--lang ru tune --help"; do
    rows=$((rows + 1))
    $wine "$windows" $args </dev/null >windows.out 2>&1
    for wanted in '--com COM3' 'AppData\Roaming\dorvik\scanner.json'; do
        grep -qF -- "$wanted" windows.out || { echo "FAILED: dvk $args: no $wanted"; failures=$((failures + 1)); }
    done
done
[ $failures -eq 0 ] || { echo "dvk.exe: $failures differences in $rows commands"; exit 1; }
echo "dvk.exe under Wine: $rows commands, outputs, exit statuses and written files as the Linux dvk's"
