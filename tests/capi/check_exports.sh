#!/bin/sh
# The shared object must export exactly the dvk_ functions the public header declares.
set -eu
header=$1
library=$2
declared=$(grep -oE '\bdvk_[a-z_]+\(' "$header" | tr -d '(' | sort -u)
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort -u)
if [ "$declared" != "$exported" ]; then
    echo "declared and exported symbols differ:"
    diff -u "$(printf '%s\n' "$declared" > /tmp/dvk_declared.$$ && echo /tmp/dvk_declared.$$)" \
            "$(printf '%s\n' "$exported" > /tmp/dvk_exported.$$ && echo /tmp/dvk_exported.$$)" || true
    rm -f /tmp/dvk_declared.$$ /tmp/dvk_exported.$$
    exit 1
fi
count=$(printf '%s\n' "$exported" | wc -l)
[ "$count" -eq 20 ] || { echo "expected 20 exports, found $count"; exit 1; }
echo "20 exports match the header"
