#!/bin/sh
# A plugin library must export its entries (by default AvisynthPluginInit2) and no other
# function of its own, and bind none of AviSynth+'s C functions (avs_*) by name: those it
# calls are looked up in the host that calls it, however the program loaded that host.
set -eu
library=$1
shift
entries=$(printf '%s\n' "${@:-AvisynthPluginInit2}" | sort)
functions=$(nm -D --defined-only "$library" | awk '$2 == "T" || $2 == "W" || $2 == "i" { print $3 }' | sort)
if [ "$functions" != "$entries" ]; then
  echo "exported functions: $functions" >&2
  exit 1
fi
host_functions=$(nm -D --undefined-only "$library" | awk '$1 ~ /^[Uw]$/ && $2 ~ /^avs_/ { print $2 }')
if [ -n "$host_functions" ]; then
  echo "host functions bound by name: $host_functions" >&2
  exit 1
fi
echo "only" $entries "exported, no host function bound by name"
