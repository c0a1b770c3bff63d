#!/bin/sh
# Runs a Windows program under Wine: tools/wine-run.sh PROGRAM [ARGUMENTS...]
# This is the emulator of the cross build (see cmake/mingw-w64-x86_64.cmake).
#
# Wine now and then fails to start a program at all: the start ends at once
# with a failure status and prints nothing. Such a start is tried again, up
# to three times in all, and noted in wine-retries.log beside the Wine
# prefix. A program that printed anything, or succeeded, is never run again.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 125
trap 'rm -rf "$scratch"' EXIT
attempt=1
while :; do
  "$wine" "$@" >"$scratch/out" 2>"$scratch/err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$scratch/out" ] || [ -s "$scratch/err" ] || [ "$attempt" -ge 3 ]; then
    break
  fi
  if [ -n "${WINEPREFIX:-}" ]; then
    echo "$(date -u +%FT%TZ) status $status, attempt $attempt: $*" >>"$WINEPREFIX/../wine-retries.log"
  fi
  attempt=$((attempt + 1))
done
cat "$scratch/out"
cat "$scratch/err" >&2
exit "$status"
