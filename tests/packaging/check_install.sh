#!/usr/bin/env bash
# The cheap half of a package build (the full one is dpkg-buildpackage, see the README): the desktop
# entry and AppStream metainfo pass their validators; an install into an empty prefix holds
# everything the installed program and the desktop look for, and every file of it goes into one of
# the Debian packages; the program, man pages and metainfo say the version of debian/changelog.
#   check_install.sh SOURCE_DIR BUILD_DIR
set -u
src=$1 build=$2
fail=0
problem() { echo "FAIL: $*"; fail=1; }

for tool in desktop-file-validate appstreamcli dpkg-parsechangelog; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (tools/deps.sh installs it)"; exit 77; }
done
desktop-file-validate "$src/packaging/v917config.desktop" || problem "desktop entry"
appstreamcli validate --no-net --pedantic "$src"/packaging/*.metainfo.xml || problem "metainfo"

prefix=$(mktemp -d)
# cmake --install rewrites the build's install manifests, which a user's uninstall step reads.
keep=$(mktemp -d)
cp "$build"/install_manifest*.txt "$keep"/ 2>/dev/null
restore() {
  rm -f "$build"/install_manifest*.txt
  cp "$keep"/* "$build"/ 2>/dev/null
  rm -rf "$prefix" "$keep"
}
trap restore EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || problem "cmake --install"
expected=(
  bin/v917config bin/sim917
  share/v917config/48710093.TXT share/v917config/contents.html
  share/applications/v917config.desktop
  share/metainfo/org.example.v917config.metainfo.xml
  share/mime/packages/v917config.xml
  share/icons/hicolor/scalable/apps/v917config.svg
  share/man/man1/v917config.1.gz share/man/man1/sim917.1.gz
  share/doc/v917config/copyright share/doc/v917config/changelog.gz share/doc/v917config/README.md
  share/doc/v917config-simulator/copyright
)
for size in 16 24 32 48 64 128 256; do
  expected+=(share/icons/hicolor/${size}x${size}/apps/v917config.png)
done
for f in "${expected[@]}"; do
  [ -s "$prefix/$f" ] || problem "not installed: $f"
done
# Each icon is drawn at its own size, not one picture scaled by the desktop.
if command -v identify >/dev/null; then
  for size in 16 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/v917config.png" 2>/dev/null)
    [ "$got" = "${size}x${size}" ] || problem "icon ${size}x${size} is $got"
  done
fi
for page in man/man1/v917config.1.gz man/man1/sim917.1.gz; do
  zcat "$prefix/share/$page" | grep -q '^\.TH ' || problem "$page is not a man page"
done

# dh_install takes the packages' files from this same install: one left out would fail the package
# build at its end (dh_missing), one listed but gone would too (dh_install).
claims=()
for f in "$src"/debian/*.install "$src"/debian/not-installed; do
  while read -r pattern _; do
    [ -n "$pattern" ] && [ "${pattern#\#}" = "$pattern" ] && claims+=("${pattern#usr/}")
  done <"$f"
done
while IFS= read -r file; do
  claimed=
  for c in "${claims[@]}"; do
    case "$file" in "$c" | "$c"/*) claimed=1 && break ;; esac
  done
  [ -n "$claimed" ] || problem "installed but in no package (debian/*.install): usr/$file"
done < <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||')
for c in "${claims[@]}"; do
  compgen -G "$prefix/$c" >/dev/null || problem "debian/*.install names usr/$c, which is not installed"
done

version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
said=$("$prefix/bin/v917config" --version)
[ "$said" = "v917config $version" ] || problem "v917config --version says \"$said\", debian/changelog $version"
for page in v917config sim917; do
  zcat "$prefix/share/man/man1/$page.1.gz" | head -1 | grep -q "\"$page $version\"" ||
    problem "man page $page.1 is not of version $version"
done
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/org.example.v917config.metainfo.xml" ||
  problem "the metainfo has no release $version"
exit $fail
