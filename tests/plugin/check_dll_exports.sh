#!/bin/sh
# korvel.dll's name table must hold the decorated stdcall entry that 32-bit hosts look up,
# and no other name.
set -eu
objdump=$1
library=$2
names=$("$objdump" -p "$library" |
  awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
       table && /^[[:space:]]*$/ { table = 0 }
       table { print $NF }')
if [ "$names" != "_AvisynthPluginInit2@4" ]; then
  echo "exported names: ${names:-none}" >&2
  exit 1
fi
echo "only _AvisynthPluginInit2@4 is exported by name"
