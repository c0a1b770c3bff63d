#!/bin/sh
# Runs the cross-built test suite of a Windows build folder under Wine:
#
#   tools/wine-ctest.sh BUILD_FOLDER [ctest arguments...]
#
# The Wine prefix lives inside the build folder; Wine is started first (see
# wine-session.sh). The tests run one at a time (parallel starts of Wine
# fail now and then) and never with a terminal as standard output. The
# server is stopped at the end, whatever the outcome.
set -eu

build=$(cd "$1" && pwd)
shift
. "$(dirname "$0")/wine-session.sh"
trap wine_session_stop EXIT INT TERM
rm -f "$build/wine-retries.log"
wine_session_start "$build/wineprefix" "$build/wine.log" || exit 1

cd "$build"
status=0
ctest -j1 --output-on-failure "$@" </dev/null || status=$?

# ctest shows no output of a skipped test: print each one's reason.
awk '/: Skipped$/ { grab = 1; reason = ""; next }
     grab && /^\[  SKIPPED \] [^ ]+ \(/ { print "Skipped " $4 ": " reason; grab = 0; next }
     grab { reason = reason (reason == "" ? "" : " ") $0 }' \
  Testing/Temporary/LastTest.log 2>/dev/null || true
if [ -s "$build/wine-retries.log" ]; then
  echo "Wine failed to start a program $(wc -l <"$build/wine-retries.log") time(s); started again:"
  cat "$build/wine-retries.log"
fi
exit "$status"
