#!/usr/bin/env bash
# Installs the build into a scratch prefix and packs a small tree with the
# installed runtime and packer, found where the installed application looks.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for file in bin/lumbrel libexec/lumbrel/node share/lumbrel/repomix/bin/repomix.cjs \
            share/applications/app.lumbrel.Lumbrel.desktop share/metainfo/app.lumbrel.Lumbrel.metainfo.xml \
            share/icons/hicolor/scalable/apps/app.lumbrel.Lumbrel.svg; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

mkdir -p "$prefix/fixture/src"
echo 'int answer = 42;' > "$prefix/fixture/src/answer.c"
report=$(cd "$prefix" && "$prefix/libexec/lumbrel/node" "$prefix/share/lumbrel/repomix/bin/repomix.cjs" \
    --output "$prefix/out.txt" --style plain --verbose "$prefix/fixture")
grep -q "Total Files: 1 files" <<<"$report" || { echo "$report" | tail -20; echo "installed packer did not pack"; exit 1; }
grep -q "int answer = 42;" "$prefix/out.txt"
echo "installed tree packs"
