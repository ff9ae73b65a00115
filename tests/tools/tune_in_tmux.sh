#!/bin/sh
# dvk tune as a person uses it, in terminals 240, 132 and 80 columns wide (tmux, with a shell that has job
# control): a "scanner" types each reference code, every code the screen shows is rendered from the captured
# pane and decoded, codes too wide get their one-line note, and the set-up ends as it should: finished and
# written, unfinished and not written, interrupted, or suspended and resumed.
set -eu
# English unless a check asks for Russian, whatever the locale of the machine.
unset LC_ALL LC_MESSAGES
export LANG=C.UTF-8
dvk=$1
read_codes=$2
work=$(mktemp -d)
# A tmux server of this test's own, so that sessions of other tests are not touched.
tmux() { command tmux -L "dvk-tune-$$" "$@"; }
session=""
runs=0
trap 'tmux kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

screen() { tmux capture-pane -e -p -J -S - -t "$session" > "$work/screen.txt"; }
# Waits until TEXT is on the screen (TIMES times, once by default).
wait_for() {
    for _ in $(seq 1 100); do
        screen
        [ "$(grep -cF -- "$1" "$work/screen.txt")" -ge "${2:-1}" ] && return 0
        sleep 0.1
    done
    echo "never appeared on screen: $1"
    cat "$work/screen.txt"
    exit 1
}
# start COLUMNS [FILE]: a shell in a terminal that wide, running dvk tune -o FILE (profile.json). dash,
# because it leaves the terminal as a stopped job left it (bash restores its own settings, which would hide a
# tool that does not).
start() {
    previous=$session
    runs=$((runs + 1))
    session="run$runs"
    # The old session goes only after the new one is there: a server left without sessions exits.
    tmux new-session -d -s "$session" -x "$1" -y 50 "cd '$work' && PS1='$ ' dash -i"
    [ -z "$previous" ] || tmux kill-session -t "$previous"
    tmux send-keys -t "$session" "'$dvk' tune -o ${2:-profile.json}; echo EXITED \$?" Enter
    wait_for "== Step 1 of 5"
}
# The scanner: its arguments typed at once with GS (Ctrl+]) between them and Enter at the end.
scan() {
    tmux send-keys -t "$session" -l -- "$1"
    shift
    for field in "$@"; do
        tmux send-keys -t "$session" C-]
        tmux send-keys -t "$session" -l -- "$field"
    done
    tmux send-keys -t "$session" Enter
}
# The codes read from the screen since the last step heading (once drawn in full) must be exactly these.
expect_codes() {
    for _ in $(seq 1 50); do
        screen
        awk '/== Step /{step=""} {step=step $0 "\n"} END{printf "%s", step}' "$work/screen.txt" > "$work/step.txt"
        grep -q "Scan the code" "$work/step.txt" && break
        sleep 0.1
    done
    "$read_codes" --screen "$work/step.txt" > "$work/read.txt" || true
    read=$(cat "$work/read.txt")
    [ "$read" = "$1" ] || { echo "read from the screen: $read, not $1"; exit 1; }
}
terminal_mode() { stty -F "$(tmux display -p -t "$session" '#{pane_tty}')" -a | grep -o -- '-\?icanon'; }

ean="EAN-13 ]E0 4600000000008"
gs1="Code128 ]C1 0104607097291111<GS>3103000123"
short="DataMatrix ]d2 010460709729111121ABCDEFG<GS>8005123456<GS>93Tq5x"
long="DataMatrix ]d2 010460709729111121AbC1234567<GS>91EE10<GS>92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8="
hard="DataMatrix ]d2 010460709729111121aA0<GS>92!\"#\$%&'()*+,-./:;<=>?@[\\]^_\`{|}~"

# 240 columns: every code at one module per column. Four codes scanned (the fourth cut short, as by a
# 64-character buffer); the fifth scanned with Ctrl+D pressed before its frame closed, which still counts.
start 240
expect_codes "$ean"
scan "4600000000008"
wait_for "Товарный штрихкод: прочитан верно"
wait_for "== Step 2 of 5"
expect_codes "$gs1"
scan "0104607097291111" "3103000123"
wait_for "Разделитель полей передаётся правильно"
wait_for "== Step 3 of 5"
expect_codes "$short"
scan "010460709729111121ABCDEFG" "8005123456" "93Tq5x"
wait_for "Маркировка: короткий код: прочитан верно"
wait_for "== Step 4 of 5"
expect_codes "$long"
scan "010460709729111121AbC1234567" "91EE10" "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6"
wait_for "Маркировка: длинный код: код обрезан"
wait_for "== Step 5 of 5"
expect_codes "$hard"
scan "010460709729111121aA0" "92!\"#\$%&'()*+,-./:;<=>?@[\\]^_\`{|}~"
sleep 0.35
tmux send-keys -t "$session" C-d
wait_for "EXITED 0"
wait_for "Маркировка: трудные символы: прочитан верно"
wait_for "Прочитано верно 4 из 5 кодов. 1 проблем(ы) требуют перенастройки самого сканера."
wait_for "profile written to profile.json"
grep -q '"terminator": "\\r"' "$work/profile.json"
grep -q '"configured": true' "$work/profile.json"
grep -q '"deviceId": "terminal"' "$work/profile.json"

# 132 columns: EAN-13 at one module per column, the GS1 code at two. A cursor key and a lone key are not
# scans. Ctrl+D two steps in: unfinished, exit 1, the existing profile untouched.
echo "kept" > "$work/profile.json"
start 132
expect_codes "$ean"
tmux send-keys -t "$session" Up
wait_for "ignored: ⟨27⟩[A is a key of the keyboard, not a scan"
tmux send-keys -t "$session" x
wait_for "ignored: x is a key of the keyboard, not a scan"
if grep -qF "received:" "$work/screen.txt"; then echo "a stray key was fed as a scan"; exit 1; fi
tmux send-keys -t "$session" Escape
wait_for "== Step 2 of 5"
expect_codes "$gs1"
tmux send-keys -t "$session" C-d
wait_for "EXITED 1"
wait_for "Set-up not finished: stopped at step 2 of 5, no profile written"
[ "$(cat "$work/profile.json")" = "kept" ] || { echo "an unfinished set-up touched the profile"; exit 1; }

# 80 columns: EAN-13 at two modules per column; the GS1 code does not fit and says so, until the window is
# widened. Ctrl+Z gives the shell its terminal back, fg makes it raw again; Ctrl+C restores it and quits.
start 80
expect_codes "$ean"
[ "$(terminal_mode)" = "-icanon" ] || { echo "not in raw mode"; exit 1; }
tmux send-keys -t "$session" C-z
wait_for "Stopped"
[ "$(terminal_mode)" = "icanon" ] || { echo "Ctrl+Z left the terminal raw"; exit 1; }
tmux send-keys -t "$session" "fg" Enter
wait_for "(resumed)"
[ "$(terminal_mode)" = "-icanon" ] || { echo "fg did not make the terminal raw again"; exit 1; }
expect_codes "$ean"
tmux send-keys -t "$session" Escape
wait_for "Not drawn: needs 110 columns, the terminal has 80; print it with dvk sheet."
expect_codes ""
tmux resize-window -t "$session" -x 132 # widened, the step comes again with its code
wait_for "== Step 2 of 5" 2
expect_codes "$gs1"
tmux resize-window -t "$session" -x 80
tmux send-keys -t "$session" Escape
wait_for "== Step 3 of 5"
expect_codes "$short"
tmux send-keys -t "$session" C-c
wait_for "interrupted"
tmux send-keys -t "$session" "echo EXITED \$?" Enter # the rest of the command line went with the stopped job
wait_for "EXITED 130"
[ "$(terminal_mode)" = "icanon" ] || { echo "Ctrl+C left the terminal raw"; exit 1; }
[ "$(cat "$work/profile.json")" = "kept" ] || { echo "an interrupted set-up touched the profile"; exit 1; }
# A file that takes no bytes: all five steps skipped, the write fails, and that is not success.
start 80 /dev/full
for step in 1 2 3 4 5; do
    wait_for "== Step $step of 5"
    tmux send-keys -t "$session" Escape
done
wait_for "EXITED 1"
wait_for "dvk: cannot write /dev/full"
# In Russian, 100 columns wide: no English word on the screens of tune and listen (the lines typed at the
# prompt aside), and the step's hint, 130 characters, wrapped at a space, never inside a word.
english_on_screen() {
    screen
    sed 's/\x1b\[[0-9;]*m//g' "$work/screen.txt" | grep -av '^\$ ' | tr -s ' ()[],.:;«»' '\n' |
        grep -av -- '^-\|/' | grep -aoE '[A-Za-z][A-Za-z0-9]*' |
        grep -vxE 'EXITED|dvk|sheet|EAN|Code128|DataMatrix|GS|GS1|CR|Enter|Esc|Ctrl|C|D|Z|listen|ru|json' | sort -u
}
previous=$session
session=russian
tmux new-session -d -s "$session" -x 100 -y 50 "cd '$work' && PS1='$ ' LANG=ru_RU.UTF-8 dash -i"
tmux kill-session -t "$previous"
tmux send-keys -t "$session" "'$dvk' tune -o ru.json; echo EXITED \$?" Enter
wait_for "== Шаг 1 из 5"
scan "4600000000008"
wait_for "== Шаг 2 из 5"
detail="Тот же служебный разделитель, что и в маркировке, но в линейном коде. Многие сканеры передают его здесь иначе, чем в квадратном."
sed 's/\x1b\[[0-9;]*m//g' "$work/screen.txt" | tr -s ' ' '\n' > "$work/words.txt"
for word in $detail; do
    grep -qxF -- "$word" "$work/words.txt" || { echo "the detail was broken inside \"$word\""; exit 1; }
done
for step in 2 3 4 5; do
    wait_for "== Шаг $step из 5"
    tmux send-keys -t "$session" Escape
done
wait_for "EXITED 0"
wait_for "профиль записан в ru.json"
words=$(english_on_screen)
[ -z "$words" ] || { echo "English on the Russian tune screen: $words"; exit 1; }
tmux send-keys -t "$session" "clear; '$dvk' listen --keyboard --profile ru.json" Enter
wait_for "слушаю терминал"
scan "4600000000008"
wait_for "EAN-13  4600000000008"
tmux send-keys -t "$session" C-c
wait_for "$ "
words=$(english_on_screen)
[ -z "$words" ] || { echo "English on the Russian listen screen: $words"; exit 1; }
echo "dvk tune: codes on screen read at 240, 132 and 80 columns; finished, unfinished, failed write, stray keys,"\
    "Ctrl+Z, Ctrl+C; in Russian, wrapped at 100 columns"
