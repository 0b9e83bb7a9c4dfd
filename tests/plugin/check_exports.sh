#!/bin/sh
# The plugin library must export its entry and no other function of its own.
set -eu
library=$1
functions=$(nm -D --defined-only "$library" | awk '$2 == "T" || $2 == "W" || $2 == "i" { print $3 }')
if [ "$functions" != "AvisynthPluginInit2" ]; then
  echo "exported functions: $functions" >&2
  exit 1
fi
echo "only AvisynthPluginInit2 is exported"
