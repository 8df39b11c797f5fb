#!/usr/bin/env bash
# Installs the build tree into a temporary folder (DESTDIR, prefix /usr) and checks that every
# file lands where the desktop, the icon theme and AppStream look for it, that the menu entry
# and the metadata validate (when desktop-file-validate and appstreamcli are installed, as
# scripts/bootstrap does), and that the installed program keeps its data in the user's data
# folder and reads the shipped files from /usr/share/corvina.
# Usage: install-check.sh BUILD_DIR APP_ID
set -euo pipefail
build_dir=$1
app_id=$2

work=$(mktemp -d)
program_pid=
cleanup() {
  [[ -z "$program_pid" ]] || kill "$program_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

root=$work/root
DESTDIR=$root cmake --install "$build_dir" --prefix /usr >"$work/install.log" ||
  { cat "$work/install.log" >&2; exit 1; }
usr=$root/usr

expect_file() {
  [[ -f "$usr/$1" ]] || fail "missing /usr/$1"
}
for f in bin/corvina bin/qbsim; do
  expect_file "$f"
  [[ -x "$usr/$f" ]] || fail "/usr/$f is not executable"
done
for f in MailMergeOverview.doc WebConnectorSetup.doc Download.gif demo-company.qbxml; do
  expect_file "share/corvina/$f"
done
desktop=share/applications/$app_id.desktop
metainfo=share/metainfo/$app_id.metainfo.xml
expect_file "$desktop"
expect_file "$metainfo"
expect_file "share/icons/hicolor/scalable/apps/$app_id.svg"
for size in 16 24 32 48 64 128 256; do
  png=share/icons/hicolor/${size}x${size}/apps/$app_id.png
  expect_file "$png"
  # The PNG header holds width and height as big-endian 32-bit numbers at bytes 16 and 20.
  if [[ -f "$usr/$png" ]]; then
    read -r w h < <(od -An -tu1 -j16 -N8 "$usr/$png" |
      awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [[ "$w" == "$size" && "$h" == "$size" ]] || fail "$png is ${w}x$h"
  fi
done
for page in corvina qbsim; do
  expect_file "share/man/man1/$page.1.gz"
  gzip -t "$usr/share/man/man1/$page.1.gz" 2>/dev/null || fail "$page.1.gz is not gzip"
done
expect_file share/doc/corvina/copyright
expect_file share/doc/corvina/changelog.gz

# The menu entry starts the installed program by name and shows the installed icon; the
# metadata launches that entry.
grep -qx 'Exec=corvina' "$usr/$desktop" || fail "Exec is not corvina"
grep -qx "Icon=$app_id" "$usr/$desktop" || fail "Icon is not $app_id"
grep -qx 'Categories=Office;Finance;' "$usr/$desktop" || fail "Categories are not Office;Finance;"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$usr/$metainfo" ||
  fail "the metadata does not launch $app_id.desktop"
grep -q "<id>$app_id</id>" "$usr/$metainfo" || fail "the metadata id is not $app_id"

if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$usr/$desktop" || fail "desktop-file-validate"
else
  echo "install-check: desktop-file-validate not installed (scripts/bootstrap installs it); not run"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$usr/$metainfo" || fail "appstreamcli validate"
else
  echo "install-check: appstreamcli not installed (scripts/bootstrap installs it); not run"
fi

# The installed program answers on the terminal without a display.
version=$("$usr/bin/corvina" --version) || fail "corvina --version failed"
[[ "$version" == "Corvina "* ]] || fail "corvina --version said: $version"
"$usr/bin/corvina" --help | grep -q -- '--app-folder' || fail "corvina --help lacks --app-folder"

# Started from the installed prefix, with nothing in the user's data folder, the program
# makes ~/.local/share/Corvina/QBData.mdb and writes nothing beside itself.
export HOME=$work/home
unset XDG_DATA_HOME
mkdir -p "$HOME"
data=$HOME/.local/share/Corvina
(cd "$work" && QT_QPA_PLATFORM=offscreen exec "$usr/bin/corvina" >"$work/corvina.log" 2>&1) &
program_pid=$!
for _ in $(seq 100); do
  [[ -f "$data/QBData.mdb" && -f "$data/Dates.adtg" ]] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -f "$data/QBData.mdb" ]] || { fail "no $data/QBData.mdb"; cat "$work/corvina.log" >&2; }
kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
program_pid=
[[ ! -e "$usr/bin/QBData.mdb" && ! -e "$usr/bin/Dates.adtg" ]] ||
  fail "the installed program wrote beside itself"
[[ ! -e "$data/MailMergeOverview.doc" && ! -e "$data/Download.gif" ]] ||
  fail "shipped files were copied into the data folder"

if [[ $failures -ne 0 ]]; then
  echo "install-check: $failures failure(s)" >&2
  exit 1
fi
echo "install-check: every file is in place"
