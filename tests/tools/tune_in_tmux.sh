#!/bin/sh
# dvk tune as a person uses it: in a terminal (tmux), a "scanner" types each reference code, the screen is
# read back, the drawn codes are decoded from the screen, and the written profile is checked.
set -eu
dvk=$1
read_codes=$2
work=$(mktemp -d)
session="dvk-tune-$$"
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$work"' EXIT

screen() { tmux capture-pane -p -J -S - -t "$session" > "$work/screen.txt"; }
wait_for() {
    for _ in $(seq 1 100); do
        screen
        grep -q -- "$1" "$work/screen.txt" && return 0
        sleep 0.1
    done
    echo "never appeared on screen: $1"
    cat "$work/screen.txt"
    exit 1
}
# The scanner: the code typed at once, GS as Ctrl+], Enter at the end; then the frame closes by time-out.
scan() {
    rest=$1
    while :; do
        part=${rest%%"|"*}
        [ -n "$part" ] && tmux send-keys -t "$session" -l -- "$part"
        [ "$part" = "$rest" ] && break
        tmux send-keys -t "$session" C-]
        rest=${rest#*"|"}
    done
    tmux send-keys -t "$session" Enter
}
# Only the drawing of the current step: the screen from its heading on.
decode_current_step() {
    screen
    sed -n "/== Step $1 of 5/,\$p" "$work/screen.txt" > "$work/step.txt"
    "$read_codes" --blocks "$work/step.txt"
}

tmux new-session -d -s "$session" -x 260 -y 120 "cd '$work' && '$dvk' tune -o profile.json; echo EXITED \$?; sleep 60"
wait_for "== Step 1 of 5: Товарный штрихкод"
[ "$(decode_current_step 1)" = "EAN-13 ]E0 4600000000008" ] || { echo "EAN-13 drawing not read back"; exit 1; }
scan "4600000000008"
wait_for "Товарный штрихкод: прочитан верно"
wait_for "== Step 2 of 5"
[ "$(decode_current_step 2)" = "Code128 ]C1 0104607097291111<GS>3103000123" ] || { echo "Code 128 drawing not read back"; exit 1; }
scan "0104607097291111|3103000123"
wait_for "Разделитель полей передаётся правильно"
wait_for "== Step 3 of 5"
[ "$(decode_current_step 3)" = "DataMatrix ]d2 010460709729111121ABCDEFG<GS>8005123456<GS>93Tq5x" ] ||
    { echo "DataMatrix drawing not read back"; exit 1; }
scan "010460709729111121ABCDEFG|8005123456|93Tq5x"
wait_for "Маркировка: короткий код: прочитан верно"
wait_for "== Step 4 of 5"
# A scanner whose buffer holds 64 characters cuts the long code.
scan "010460709729111121AbC1234567|91EE10|92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6"
wait_for "Маркировка: длинный код: код обрезан"
wait_for "== Step 5 of 5"
tmux send-keys -t "$session" Escape
wait_for "Шаг пропущен: Маркировка: трудные символы"
wait_for "Прочитано верно 3 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера."
wait_for "profile written to profile.json"
wait_for "EXITED 0"
grep -q '"terminator": "\\r"' "$work/profile.json"
grep -q '"configured": true' "$work/profile.json"
grep -q '"deviceId": "terminal"' "$work/profile.json"
echo "dvk tune: four steps read through a terminal, one skipped, codes on screen decoded, profile written"
