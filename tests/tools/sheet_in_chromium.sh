#!/bin/sh
# dvk sheet opened in headless Chromium: all five reference codes are read back from a screenshot.
set -eu
dvk=$1
read_codes=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dvk" sheet -o "$work/setup.html" >/dev/null
grep -q '<html lang="ru">' "$work/setup.html"
if grep -qE '(src|href)=' "$work/setup.html"; then echo "the sheet refers to outside resources"; exit 1; fi
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" --window-size=800,2000 \
    --force-device-scale-factor=3 --screenshot="$work/sheet.png" "file://$work/setup.html" >/dev/null 2>&1
cat > "$work/expected.txt" <<'CODES'
EAN-13 ]E0 4600000000008
Code128 ]C1 0104607097291111<GS>3103000123
DataMatrix ]d2 010460709729111121ABCDEFG<GS>8005123456<GS>93Tq5x
DataMatrix ]d2 010460709729111121AbC1234567<GS>91EE10<GS>92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=
DataMatrix ]d2 010460709729111121aA0<GS>92!"#$%&'()*+,-./:;<=>?@[\]^_`{|}~
CODES
"$read_codes" --png "$work/sheet.png" > "$work/read.txt" || true
if ! diff -u "$work/expected.txt" "$work/read.txt"; then echo "codes read from the screenshot differ"; exit 1; fi
echo "dvk sheet: five codes read from a Chromium screenshot"
