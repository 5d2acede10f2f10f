#!/usr/bin/env bash
# The desktop integration files: checked with the desktop's own validators, the MIME type's magic
# compared with a real scan file, and the build installed into a temporary prefix to see that
# every file lands where desktops look for it.
# Usage: check_desktop_files.sh SOURCE_DIR BINARY_DIR
set -euo pipefail
src="$1"
bin="$2"
id=io.github.kavusdraa.Kavusdraa
files="$src/data/desktop"
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in desktop-file-validate appstreamcli python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

# desktop-file-validate exits non-zero on errors; its hints are advice only.
desktop-file-validate "$files/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net --explain "$files/$id.metainfo.xml" || fail "metainfo"

# The MIME type: well-formed, "*.kant", and a magic that the program's own scan files match.
python3 - "$files/$id.mime.xml" "$files/$id.desktop" "$src/tests/data/scan_file_corpus/two_points_note.kant" <<'PY'
import struct, sys, xml.etree.ElementTree as ET
ns = {"m": "http://www.freedesktop.org/standards/shared-mime-info"}
mime_type = ET.parse(sys.argv[1]).getroot().find("m:mime-type", ns)
name = mime_type.get("type")
assert name == "application/x-kavusdraa-scan", name
assert [g.get("pattern") for g in mime_type.findall("m:glob", ns)] == ["*.kant"]
match = mime_type.find("m:magic/m:match", ns)
assert match.get("type") == "little32" and match.get("offset") == "0", match.attrib
head = open(sys.argv[3], "rb").read(4)
assert struct.unpack("<I", head)[0] == int(match.get("value"), 16), head.hex()
entry = dict(l.split("=", 1) for l in open(sys.argv[2], encoding="utf-8") if "=" in l)
assert entry["MimeType"].strip() == name + ";", entry["MimeType"]
assert entry["Exec"].split()[0] == "kavusdraa", entry["Exec"]
assert entry["Icon"].strip() == "io.github.kavusdraa.Kavusdraa", entry["Icon"]
PY

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$bin" --prefix "$prefix" >/dev/null || fail "cmake --install"
for f in bin/kavusdraa-cli \
         lib/kavusdraa/simlib/librtlsdr.so.0 \
         share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/mime/packages/$id.xml \
         share/doc/kavusdraa/README.md; do
  [ -f "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/kavusdraa-cli" ] || fail "kavusdraa-cli is not executable"
# The desktop program exists only in builds with windows.
if [ -x "$bin/src/app/kavusdraa" ]; then
  [ -x "$prefix/bin/kavusdraa" ] || fail "kavusdraa was not installed"
fi
# The installed tree as a whole: the metainfo finds its desktop entry and icon.
appstreamcli validate-tree --no-net "$prefix" || fail "installed tree"
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime" || fail "update-mime-database"
  [ -f "$prefix/share/mime/application/x-kavusdraa-scan.xml" ] || fail "MIME type not registered"
fi
echo "desktop files: OK"
