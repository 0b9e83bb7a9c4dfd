#!/bin/sh
# A plugin library must export its entry (by default AvisynthPluginInit2) and no other
# function of its own.
set -eu
library=$1
entry=${2:-AvisynthPluginInit2}
functions=$(nm -D --defined-only "$library" | awk '$2 == "T" || $2 == "W" || $2 == "i" { print $3 }')
if [ "$functions" != "$entry" ]; then
  echo "exported functions: $functions" >&2
  exit 1
fi
echo "only $entry is exported"
