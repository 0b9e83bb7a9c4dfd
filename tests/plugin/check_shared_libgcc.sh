#!/bin/sh
# Exceptions pass between the host and the plugin only when every module unwinds with the
# one shared libgcc; a module linked with a static libgcc cannot pass them on.
set -eu
objdump=$1
shift
status=0
for module in "$@"; do
  if "$objdump" -p "$module" | grep -q "DLL Name: libgcc_s_dw2-1.dll"; then
    echo "$(basename "$module") uses the shared libgcc"
  else
    echo "$(basename "$module") does not import libgcc_s_dw2-1.dll" >&2
    status=1
  fi
done
exit $status
