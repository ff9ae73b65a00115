#!/bin/sh
# The library exports exactly the twenty functions of the header's list (dorvik_c.def), nothing else:
# nm for the shared object, objdump's export table for the DLL.
set -eu
def=$1
library=$2
declared=$(awk '/^ +dvk_/ {print $1}' "$def" | sort)
case "$library" in
*.dll) exported=$(x86_64-w64-mingw32-objdump -p "$library" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^[ \t]*\[/ {print $NF} t && /^$/ {t=0}' | sort) ;;
*) exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort) ;;
esac
if [ "$declared" != "$exported" ] || [ "$(printf '%s\n' "$exported" | wc -l)" -ne 20 ]; then
    printf 'the exports differ from the header:\ndeclared:\n%s\nexported:\n%s\n' "$declared" "$exported"
    exit 1
fi
echo "$(basename "$library"): the header's 20 exports, nothing else"
