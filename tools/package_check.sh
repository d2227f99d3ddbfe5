#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 that has none of the build
# packages, uses it as a normal user would, and removes it again:
#   tools/package_check.sh build-package/veskara_*.deb
# Needs root and debootstrap. The bare system is made once in $PACKAGE_ROOT
# (default /tmp/veskara-package-check) and copied afresh for every run; the
# mirror is this machine's. Prints each check and exits 1 at the first that
# fails.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: tools/package_check.sh PACKAGE.deb" >&2
  exit 2
fi
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
root=${PACKAGE_ROOT:-/tmp/veskara-package-check}
pristine=$root.pristine

command -v debootstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq debootstrap >/dev/null
if [ ! -x "$pristine/bin/bash" ]; then
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | grep -v security | head -n 1)
  [ -n "$mirror" ] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list)
  echo "Making a bare Debian 12 in $pristine (a few minutes)…"
  rm -rf "$pristine"
  debootstrap --variant=minbase bookworm "$pristine" "$mirror" >"$pristine.log" 2>&1
fi
rm -rf "$root"
cp -a "$pristine" "$root"
cp "$deb" "$root/tmp/"
mkdir -p "$root/tmp/sample"
cp "$here/tests/wpdf/data/sample.pdf" "$root/tmp/sample/"
printf '<html><body><p>Tomato seedlings in the greenhouse</p></body></html>\n' >"$root/tmp/sample/garden.htm"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount --bind /proc "$root/proc"
mount --bind /dev "$root/dev"
trap 'umount "$root/proc" "$root/dev" 2>/dev/null || true' EXIT

cat >"$root/tmp/check.sh" <<'CHECK'
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8
# apt's output only when it fails.
apt() {
  local out
  out=$(apt-get -o DPkg::Lock::Timeout=600 -qq "$@" 2>&1) || { echo "$out"; return 1; }
}
ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*"; exit 1; }

apt update
# man-db only to read the pages; none of the build packages is here.
apt install -y man-db
for p in cmake g++ pkg-config qt6-base-dev libmupdf-dev; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then fail "$p is installed"; fi
done
deb=$(ls /tmp/veskara_*.deb)
apt install -y "$deb" || fail "apt-get install $deb"
ok "apt-get install $(basename "$deb"): $(dpkg-query -W -f='${Version}' veskara), with $(dpkg-deb --field "$deb" Depends | tr ',' '\n' | wc -l) dependencies"

for f in /usr/bin/veskara /usr/bin/veskara-cli /usr/lib/*/veskara/libwpdf.so /usr/lib/*/veskara/libwpdf_mupdf.so \
  /usr/lib/*/veskara/veskara-convert; do
  [ -f "$f" ] || fail "$f is missing"
  ! ldd "$f" | grep -q "not found" || fail "$f: $(ldd "$f" | grep "not found")"
done
ok "the programs, libwpdf, its converter program and its module find every library"
for f in /usr/share/applications/veskara.desktop /usr/share/icons/hicolor/scalable/apps/veskara.svg \
         /usr/share/doc/veskara/README.md /usr/share/doc/veskara/LICENSE /usr/share/doc/veskara/copyright; do
  [ -f "$f" ] || fail "$f is missing"
done
ok "the desktop entry, the icon, the README and the licence are installed"

useradd -m someone
mkdir -p /home/someone/Documents
cp /tmp/sample/* /home/someone/Documents/
chown -R someone: /home/someone/Documents
as_user() { runuser -u someone -- env -u XDG_DATA_HOME -u VESKARA_BASE sh -c "cd && $1"; }
as_user 'veskara-cli add ~/Documents' >/tmp/add.log 2>&1 || { cat /tmp/add.log; fail "veskara-cli add ~/Documents"; }
[ -f /home/someone/.local/share/veskara/wrds.txt ] || fail "no base in the user's data folder"
[ "$(as_user 'veskara-cli find tomato')" = /home/someone/Documents/garden.htm ] || fail "find tomato"
[ "$(as_user 'veskara-cli find hello world')" = /home/someone/Documents/sample.pdf ] || fail "find in the PDF"
ok "runuser -u someone -- veskara-cli add ~/Documents: $(as_user 'veskara-cli stats' | tr '\n' ' ')"

# The window, as the desktop entry starts it, with no display here: it runs
# until it is stopped.
grep -qx "Exec=veskara" /usr/share/applications/veskara.desktop || fail "the desktop entry does not start veskara"
status=0
as_user 'QT_QPA_PLATFORM=offscreen timeout 10 veskara' >/tmp/window.log 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat /tmp/window.log; fail "the window ended by itself (status $status)"; }
ok "the window starts as the desktop entry says, and runs until stopped"

for page in veskara-cli veskara "5 veskara"; do
  # shellcheck disable=SC2086
  text=$(MANPAGER=cat MANWIDTH=80 man $page 2>&1) || fail "man $page: $text"
  echo "$text" | grep -q "^NAME" || fail "man $page shows no page"
done
MANPAGER=cat MANWIDTH=80 man veskara-cli | grep -q "^ *update \[FOLDER...\]" || fail "man veskara-cli lists no update"
ok "man veskara-cli, man veskara and man 5 veskara show their pages"
MANPAGER=cat MANWIDTH=80 man veskara-cli | sed -n '1,12p'

dpkg -L veskara >/tmp/files
apt remove -y veskara
left=()
while read -r path; do
  case "$path" in
    /usr/lib/*/veskara | /usr/share/doc/veskara) [ ! -e "$path" ] || left+=("$path") ;;
    *) [ -d "$path" ] || [ ! -e "$path" ] || left+=("$path") ;;
  esac
done </tmp/files
[ ${#left[@]} -eq 0 ] || fail "left behind: ${left[*]}"
status=$(dpkg-query -W -f='${db:Status-Abbrev}' veskara 2>/dev/null || true)
case "$status" in "" | "un "*) ;; *) fail "dpkg still knows veskara: $status" ;; esac
ok "apt-get remove veskara left none of its $(wc -l </tmp/files) paths behind"
CHECK
chroot "$root" /bin/bash /tmp/check.sh
