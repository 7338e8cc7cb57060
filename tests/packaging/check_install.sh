#!/usr/bin/env bash
# check_install.sh install|deb BUILD_DIR EXPECTED_LIST
#   install: `cmake --install` into a temporary DESTDIR holds exactly the
#            files listed, and the icons are PNGs of their folder's size.
#   deb:     cpack builds the Debian package; it lists the same files, names
#            its shared-library dependencies, and lintian finds no error.
set -euo pipefail
mode=$1 build=$2 expected=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

compare() {  # $1: the file list found
  if ! diff -u "$expected" "$1"; then
    echo "FAIL: the installed files differ from $expected (- expected, + found)"
    exit 1
  fi
}

case $mode in
install)
  DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
  (cd "$work/root" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort >"$work/found"
  compare "$work/found"
  for png in "$work"/root/usr/share/icons/hicolor/*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")   # 48x48
    dims=$(file -b "$png")
    [[ $dims == "PNG image data, ${size%x*} x ${size#*x},"* ]] || { echo "FAIL: $png is '$dims'"; exit 1; }
  done
  bad=$(find "$work/root" -type d ! -perm 755)
  [[ -z $bad ]] || { echo "FAIL: folders not 0755: $bad"; exit 1; }
  echo "install: $(wc -l <"$work/found") files as expected"
  ;;
deb)
  (cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
  deb=$(ls "$work"/pkg/ortiva_*.deb)
  echo "package: $(basename "$deb")"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort >"$work/found"
  compare "$work/found"
  dpkg-deb -I "$deb" | sed -n '/^ Package:/,$p'
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libjpeg62-turbo; do
    [[ $depends == *"$lib"* ]] || { echo "FAIL: Depends lacks $lib: $depends"; exit 1; }
  done
  for field in Maintainer Section Description; do
    [[ -n $(dpkg-deb -f "$deb" "$field") ]] || { echo "FAIL: no $field"; exit 1; }
  done
  # Root may run lintian only when it says so.
  lintian --allow-root --fail-on error --no-tag-display-limit "$deb" | tee "$work/lintian"
  echo "lintian: $(grep -c '^E:' "$work/lintian" || true) errors, $(grep -c '^W:' "$work/lintian" || true) warnings"
  ;;
*)
  echo "usage: $0 install|deb BUILD_DIR EXPECTED_LIST" >&2
  exit 2
  ;;
esac
