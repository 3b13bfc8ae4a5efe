#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, looks at its control data and file
# list, unpacks it into a temporary root and starts the unpacked program there: on a first
# start it must create the user's data file as a copy of the packaged blank template.
# Usage: package_check.sh <cpack> <build folder>
set -euo pipefail

cpack=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/ledgerloom-package.XXXXXX")
pid=
cleanup() {
    [[ -z "$pid" ]] || kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package goes to the temporary folder, so the build folder is left as it was.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
shopt -s nullglob
debs=("$work"/out/ledgerloom_*.deb)
((${#debs[@]} == 1)) || fail "expected one ledgerloom_*.deb, found ${#debs[@]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Library dependencies are computed from the program file, not written by hand.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ -n "$depends" ]] || fail "the package has no Depends line"
for library in libqt6widgets6 libqt6printsupport6 libsqlite3-0 libxlsxwriter libmdb libcsv libpq5 libuchardet; do
    grep -q "$library" <<<"$depends" || fail "Depends does not name $library"
done

listing=$(dpkg-deb -c "$deb")
for path in ./usr/lib/ledgerloom/ledgerloom ./usr/lib/ledgerloom/ledgerloom-access-reader \
    ./usr/lib/ledgerloom/dbBlank.mdb \
    ./usr/lib/ledgerloom/HAND-M.CUR ./usr/lib/ledgerloom/ledgerloom.png \
    ./usr/share/applications/ledgerloom.desktop ./usr/share/man/man1/ledgerloom.1.gz; do
    grep -qE "[[:space:]]${path}\$" <<<"$listing" || fail "the package does not hold $path"
done
grep -qE '[[:space:]]\./usr/bin/ledgerloom -> \.\./lib/ledgerloom/ledgerloom$' <<<"$listing" ||
    fail "usr/bin/ledgerloom is not a relative link to the program file"

root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/ledgerloom
[[ -x "$program" ]] || fail "the unpacked program cannot be run"
template=$root/usr/lib/ledgerloom/dbBlank.mdb
# The manual page describes every option the program's help lists.
manual=$(gzip -dc "$root/usr/share/man/man1/ledgerloom.1.gz")
for option in $("$program" --help | grep -oE -- '--[a-z-]+'); do
    grep -qF -- "${option//-/\\-}" <<<"$manual" || fail "the manual page does not describe $option"
done

mkdir -p "$work/data" "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
data_file=$work/data/Tarnwell/Ledgerloom/dbData.mdb
# The program has no options and runs until its window closes: start it, wait for the data
# file, make sure it is still running, then stop it.
HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
    XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen \
    "$program" >"$work/program.log" 2>&1 &
pid=$!

for ((tenth = 0; tenth < 200; ++tenth)); do
    [[ -f "$data_file" ]] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[[ -f "$data_file" ]] || { cat "$work/program.log" >&2; fail "no data file after 20 s: $data_file"; }
cmp "$template" "$data_file" || fail "the data file is not a copy of the packaged dbBlank.mdb"
sleep 1
kill -0 "$pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended by itself"; }

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
# 143 is the shell's code for an end by SIGTERM.
((status == 0 || status == 143)) || fail "the program ended with status $status on SIGTERM"
echo "the unpacked program created $data_file from the packaged template"

# The packaged Access reader is found beside the program file, through the bin/ link.
HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
    "$program" --import "$(dirname "$0")/data/DateTestDatabase.mdb" >"$work/import.log" 2>&1 ||
    { cat "$work/import.log" >&2; fail "the unpacked program imports no Access file"; }
echo "the unpacked program imported an Access table with the packaged reader"
