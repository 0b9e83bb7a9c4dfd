#!/bin/sh
# The Windows korvel command, run under an emulator, must write the same bytes as the
# command built for this machine, given the same raw frames and arguments, for every shape
# and both formats; and a bad call must fail the same way, with the same message.
# Usage: windows_tool_matches_native.sh NATIVE_KORVEL EMULATOR KORVEL_EXE
set -eu
native=$1
emulator=$2
windows=$3
if [ ! -x "$native" ]; then
  echo "no native korvel command at $native: build the release preset first" >&2
  exit 1
fi

work=$(mktemp -d)
failed=0
cd "$work"

# Runs both commands on the same arguments, each in a folder of its own (native/ and
# windows/) so that they write the same file names. Each folder starts with a stale
# out.raw, which a good call replaces and a bad one leaves alone. Windows ends lines with CR LF: that is
# the platform's convention, not a different message, so the CRs are dropped.
run_both() {
  rm -rf native windows
  mkdir native windows
  echo stale >native/out.raw
  echo stale >windows/out.raw
  set +e
  (cd native && "$native" "$@" >stdout 2>err)
  native_status=$?
  (cd windows && "$emulator" "$windows" "$@" >stdout 2>raw-err)
  windows_status=$?
  set -e
  tr -d '\r' <windows/raw-err >windows/err
}

# 64x48 leaves room for every shape: x up to 8, y up to 6.
for format in rgb24 rgb32; do
  case $format in rgb24) bytes=3 ;; rgb32) bytes=4 ;; esac
  head -c $((64 * 48 * bytes * 3)) /dev/urandom >"in-$format.raw"
  for shape in "line -x -3 -y 2" "rect -x 3 -y 2" "focus -x 4"; do
    set -- $shape
    blur=$1
    shift
    case_name="$format $blur $*"
    run_both "../in-$format.raw" out.raw --size 64x48 --format "$format" -b "$blur" "$@" -q
    if [ "$native_status" -ne 0 ] || [ "$windows_status" -ne 0 ]; then
      echo "FAIL $case_name: exit status $native_status here, $windows_status on Windows" >&2
      cat native/err windows/err >&2
      failed=1
    elif ! cmp -s native/out.raw windows/out.raw; then
      echo "FAIL $case_name: outputs differ" >&2
      cmp native/out.raw windows/out.raw >&2 || true
      failed=1
    elif cmp -s native/out.raw "in-$format.raw"; then
      echo "FAIL $case_name: the output is the unblurred input" >&2
      failed=1
    else
      echo "ok   $case_name: $(wc -c <native/out.raw) identical bytes"
    fi
  done
done

# Standard input and output carry raw frames byte for byte: no CR LF translation.
set +e
"$native" - - --size 64x48 -b rect -x 2 -y 1 -q <in-rgb24.raw >native-piped.raw
"$emulator" "$windows" - - --size 64x48 -b rect -x 2 -y 1 -q <in-rgb24.raw >windows-piped.raw
set -e
if cmp -s native-piped.raw windows-piped.raw && [ -s native-piped.raw ]; then
  echo "ok   rgb24 rect -x 2 -y 1 through standard input and output"
else
  echo "FAIL rgb24 rect -x 2 -y 1 through standard input and output: outputs differ" >&2
  failed=1
fi

# A refusal from the plugin, and a mistake on the command line.
for call in "../in-rgb24.raw out.raw --size 64x48 -b rect -x 30" \
            "../in-rgb24.raw out.raw --size 64x48 --bogus"; do
  set -- $call
  run_both "$@"
  if [ "$native_status" -eq 0 ] || [ "$native_status" -ne "$windows_status" ] ||
     ! cmp -s native/err windows/err; then
    echo "FAIL korvel $call: status $native_status here, $windows_status on Windows" >&2
    diff native/err windows/err >&2 || true
    failed=1
  elif [ "$(ls windows)" != "$(printf 'err\nout.raw\nraw-err\nstdout')" ] ||
       [ "$(cat windows/out.raw)" != stale ] || [ -s windows/stdout ]; then
    echo "FAIL korvel $call: the Windows command left" $(ls -A windows) >&2
    failed=1
  else
    echo "ok   korvel $call: status $native_status, $(head -n 1 native/err)"
  fi
done

cd /
if [ "$failed" -eq 0 ]; then
  rm -rf "$work"
else
  echo "inputs and outputs kept in $work" >&2
fi
exit "$failed"
