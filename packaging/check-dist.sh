#!/bin/sh
# Checks the release archives of a dist folder as a user meets them:
#
#   packaging/check-dist.sh DIST [WINDOWS_BUILD]
#
# - the SHA-256 sums file matches the archives;
# - each archive's list: one top folder named as the archive, the files a
#   user needs (every program with its manual page on Linux; README,
#   licence, examples), and nothing from a build or the tests;
# - each archive unpacked into an empty folder, the bundled example run from
#   there in a copy of its folder (the Windows programs under Wine, with the
#   Wine prefix of WINDOWS_BUILD when given, else a new one): the samples
#   give the bundled ExpTgrams.txt, and that the bundled model file (exit
#   status 0, the STOP message); the picture is drawn;
# - the programs are stripped; the Linux programs need no shared library
#   besides the C and C++ run-time (and tgramest the system's GDAL); the Windows programs carry their version
#   resource and manifest and need no DLL of the compiler's run-time.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$1" && pwd)
windows_build=${2:-}

fail() {
  echo "check-dist: $*" >&2
  exit 1
}

set -- "$dist"/tgraminterp-*-SHA256SUMS.txt
[ $# -eq 1 ] && [ -f "$1" ] || fail "$dist holds no single tgraminterp-VERSION-SHA256SUMS.txt"
sums=$(basename "$1")
version=${sums#tgraminterp-}
version=${version%-SHA256SUMS.txt}
linux=tgraminterp-$version-linux-x86_64
windows=tgraminterp-$version-windows-x86_64

scratch=$(mktemp -d "${TMPDIR:-/tmp}/check-dist.XXXXXX")
wine_started=
cleanup() {
  if [ -n "$wine_started" ]; then wine_session_stop; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== $sums"
(cd "$dist" && sha256sum --check --strict "$sums") || fail "the sums do not match"
[ "$(wc -l <"$dist/$sums")" -eq 2 ] || fail "$sums should list the two archives"

# check_list NAME LIST REQUIRED...: the archive's entries, one per line.
check_list() {
  name=$1
  list=$2
  shift 2
  if grep -v -E "^$name(/|$)" "$list"; then fail "entries outside $name/ (above)"; fi
  if grep -E '(^|/)\.\.(/|$)' "$list"; then fail "entries with .. (above)"; fi
  # Build folders and files, test programs and fixtures, the Wine prefix.
  if grep -i -E '(^|/)(build[^/]*|CMakeFiles|Testing|tests?|e2e|fixtures|wineprefix|\.stage[^/]*)(/|$)|CMakeCache|cmake_install|\.(o|obj|a|lib|cmake|cpp|hpp|pdb|log)$|_tests?(\.exe)?$|gtest' "$list"; then
    fail "build or test files in $name (above)"
  fi
  for required in "$@"; do
    grep -q -x -F "$name/$required" "$list" || fail "$name lacks $required"
  done
}

# run_example EXAMPLE RUN EST INTERP PLOT [LAUNCHER]: runs the whole chain
# as make run does, in a copy of the example folder: the experimental
# transiograms estimated from the samples, then the model, then the picture;
# the files are compared with the bundled ones.
run_example() {
  example=$1
  run=$2
  est=$3
  interp=$4
  plot=$5
  launcher=${6:-}
  cp -R "$example" "$run"
  rm "$run/ExpTgrams.txt" "$run/TgramModels.txt"
  (cd "$run" && $launcher "$est" --quiet --lag-width 100 --max-class 15 --min-pairs 30 --max-lag 20 \
     meuse-soil.csv >"$scratch/stdout" 2>"$scratch/stderr") ||
    { cat "$scratch/stdout" "$scratch/stderr" >&2; fail "$est failed in $run"; }
  cmp "$run/ExpTgrams.txt" "$example/ExpTgrams.txt" ||
    fail "$est: the experimental transiograms differ from the bundled ones"
  status=0
  (cd "$run" && $launcher "$interp" >"$scratch/stdout" 2>"$scratch/stderr") || status=$?
  if [ "$status" -ne 0 ] || [ -s "$scratch/stderr" ]; then
    cat "$scratch/stderr" >&2
    fail "$interp: exit status $status in $run"
  fi
  [ "$(tr -d '\r' <"$scratch/stdout" | grep -v '^$' | tail -n 1)" = "Stop - Program terminated." ] ||
    fail "$interp: no STOP message at the end of its output"
  cmp "$run/TgramModels.txt" "$example/TgramModels.txt" ||
    fail "$interp: the model file differs from the bundled one"
  (cd "$run" && $launcher "$plot" >"$scratch/stdout" 2>"$scratch/stderr") ||
    { cat "$scratch/stderr" >&2; fail "$plot failed in $run"; }
  grep -q "<svg" "$run/Transiograms.svg" || fail "$plot wrote no picture"
  $launcher "$interp" --version >"$scratch/stdout" </dev/null
  [ "$(tr -d '\r' <"$scratch/stdout")" = "tgraminterp $version" ] ||
    fail "$interp --version shows '$(cat "$scratch/stdout")', not tgraminterp $version"
  echo "   $(basename "$est"), $(basename "$interp") and $(basename "$plot") ran the example from the unpacked archive:" \
    "ExpTgrams.txt and TgramModels.txt as bundled, picture written"
}

echo "== $linux.tar.gz"
tar -tzf "$dist/$linux.tar.gz" | sed 's|/$||' >"$scratch/linux.list"
check_list "$linux" "$scratch/linux.list" README.md LICENSE CHANGELOG.md \
  bin/tgramest bin/tgraminterp bin/tgramplot examples/meuse-soil/ExpTgrams.txt examples/meuse-soil/TgramModels.txt
mkdir "$scratch/linux"
tar -xzf "$dist/$linux.tar.gz" -C "$scratch/linux"
top=$scratch/linux/$linux
for program in "$top"/bin/*; do
  name=$(basename "$program")
  page=$top/share/man/man1/$name.1
  [ -f "$page" ] || fail "$name has no manual page"
  if readelf -S --wide "$program" | grep -q -E '\.(debug_|symtab)'; then fail "$name is not stripped"; fi
  # Only the C and C++ run-time libraries that every Linux system has, and
  # for tgramest the distribution's GDAL, through which it reads rasters.
  allowed='libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-x86-64\.so\.2'
  [ "$name" != tgramest ] || allowed="$allowed|libgdal\.so\.[0-9]+"
  extra=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -x -E "$allowed" || true)
  [ -z "$extra" ] || fail "$name needs libraries that a user's system may lack:" $extra
  grep -q "^\.TH .*\"tgraminterp $version\"" "$page" || fail "$name.1 does not name version $version"
  if command -v man >/dev/null 2>&1; then
    MANWIDTH=80 man -M "$top/share/man" "$name" 2>"$scratch/stderr" | grep -q "$name" ||
      fail "man -M share/man $name shows no page"
    [ ! -s "$scratch/stderr" ] || { cat "$scratch/stderr" >&2; fail "man $name warned"; }
  fi
done
for page in "$top"/share/man/man1/*.1; do
  [ -x "$top/bin/$(basename "$page" .1)" ] || fail "$(basename "$page") is the page of no program"
done
echo "   $(ls "$top/bin" | wc -l) programs, stripped, needing only the C and C++ run-time libraries (tgramest also GDAL), each with its manual page"
run_example "$top/examples/meuse-soil" "$scratch/linux-run" "$top/bin/tgramest" "$top/bin/tgraminterp" \
  "$top/bin/tgramplot"

echo "== $windows.zip"
unzip -Z1 "$dist/$windows.zip" | sed 's|/$||' >"$scratch/windows.list"
check_list "$windows" "$scratch/windows.list" README.txt LICENSE.txt README.md \
  tgramest.exe tgraminterp.exe tgramplot.exe examples/meuse-soil/ExpTgrams.txt examples/meuse-soil/TgramModels.txt
mkdir "$scratch/windows"
unzip -q "$dist/$windows.zip" -d "$scratch/windows"
top=$scratch/windows/$windows
# Windows line ends on every line of README.txt.
if tr -d '\r' <"$top/README.txt" | cmp -s - "$top/README.txt" || grep -q -v "$(printf '\r')\$" "$top/README.txt"; then
  fail "README.txt does not end every line with CR LF"
fi
python3 "$here/check_windows_program.py" --version "$version" "$top"/*.exe >"$scratch/pe" ||
  { cat "$scratch/pe" >&2; fail "the Windows programs are not as released programs should be"; }
sed 's/^/   /' "$scratch/pe"

. "$here/../tools/wine-session.sh"
if [ -n "$windows_build" ] && [ -d "$windows_build/wineprefix" ]; then
  prefix=$(cd "$windows_build" && pwd)/wineprefix
else
  prefix=$scratch/wineprefix
fi
wine_started=yes
wine_session_start "$prefix" "$scratch/wine.log" || fail "Wine did not start"
run_example "$top/examples/meuse-soil" "$scratch/windows-run" "$top/tgramest.exe" "$top/tgraminterp.exe" \
  "$top/tgramplot.exe" \
  "$here/../tools/wine-run.sh"
echo "The release archives of $dist passed."
