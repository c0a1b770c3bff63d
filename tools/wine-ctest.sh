#!/bin/sh
# Runs the cross-built test suite of a Windows build folder under Wine:
#
#   tools/wine-ctest.sh BUILD_FOLDER [ctest arguments...]
#
# The Wine prefix lives inside the build folder. The Wine server and Wine's
# own services are started first, detached and with their output in a log
# file: started by the first test instead, they would inherit ctest's output
# pipe and ctest would wait for them. The tests run one at a time (parallel
# starts of Wine fail now and then) and never with a terminal as standard
# output. The server is stopped at the end, whatever the outcome.
set -eu

build=$(cd "$1" && pwd)
shift
wine_dir=/usr/lib/wine
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# Wine maps the Linux file names and arguments to Windows wide characters
# through the locale's character set: UTF-8, so that the tests of names
# beyond ASCII see what a Windows system would.
export LC_ALL=C.UTF-8
# No desktop integration or dialogs: nothing here has a display.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

log="$build/wine.log"
stop_wine() { "$wine_dir/wineserver" -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT INT TERM

mkdir -p "$WINEPREFIX"
: >"$log"
rm -f "$build/wine-retries.log"
setsid "$wine_dir/wineserver" -p </dev/null >>"$log" 2>&1 || {
  echo "the Wine server did not start; its output:" >&2
  cat "$log" >&2
  exit 1
}
# Creates the prefix on the first run, then starts the services.
setsid "$wine_dir/wine64" wineboot --init </dev/null >>"$log" 2>&1 || {
  echo "wineboot failed; its output:" >&2
  cat "$log" >&2
  exit 1
}

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
