# Sourced by the scripts that run Windows programs under Wine:
#
#   . tools/wine-session.sh
#   wine_session_start PREFIX LOG    # exports the settings, starts Wine
#   ...                              # run programs with tools/wine-run.sh
#   wine_session_stop
#
# The Wine server and Wine's own services are started first, detached and
# with their output in LOG: started by the first program instead, they would
# inherit its output and whoever reads that would wait for them. The prefix
# PREFIX is created on the first start.
wine_dir=/usr/lib/wine

wine_session_start() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEARCH=win64
  # Wine maps the Linux file names and arguments to Windows wide characters
  # through the locale's character set: UTF-8, so that the tests of names
  # beyond ASCII see what a Windows system would.
  export LC_ALL=C.UTF-8
  # No desktop integration or dialogs: nothing here has a display.
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  unset DISPLAY WAYLAND_DISPLAY
  wine_log=$2
  mkdir -p "$WINEPREFIX"
  : >"$wine_log"
  setsid "$wine_dir/wineserver" -p </dev/null >>"$wine_log" 2>&1 || {
    echo "the Wine server did not start; its output:" >&2
    cat "$wine_log" >&2
    return 1
  }
  # Creates the prefix on the first run, then starts the services.
  setsid "$wine_dir/wine64" wineboot --init </dev/null >>"$wine_log" 2>&1 || {
    echo "wineboot failed; its output:" >&2
    cat "$wine_log" >&2
    return 1
  }
}

wine_session_stop() {
  "$wine_dir/wineserver" -k >/dev/null 2>&1 || true
}
