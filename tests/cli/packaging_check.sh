#!/bin/bash
# The desktop integration as installed by 'cmake --install': the desktop file passes the
# validator, the MIME type recognises a setup file by its first two bytes even without
# its .kvr name, the man pages format without warnings, the completion parses, and every
# file lands where the desktop and man look for it.
# usage: packaging_check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$src/packaging/kvrview.desktop" || fail "desktop file"

cmake --install "$build" --prefix "$work/usr" > /dev/null
for f in bin/kvrctl bin/kvr-sim share/applications/kvrview.desktop \
         share/mime/packages/kvr-setup.xml share/icons/hicolor/scalable/apps/kvrview.svg \
         share/man/man1/kvrview.1 share/man/man1/kvrctl.1 share/man/man1/kvr-sim.1 \
         share/bash-completion/completions/kvrctl share/kvr-view/user-guide.html \
         share/kvr-view/KVRPrnTemplate.rtf share/kvr-view/DispPrnTemplate.rtf; do
    [ -f "$work/usr/$f" ] || fail "not installed: $f"
done

for page in "$work"/usr/share/man/man1/*.1; do
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
bash -n "$work/usr/share/bash-completion/completions/kvrctl" || fail "completion"

if command -v update-mime-database > /dev/null && command -v gio > /dev/null; then
    mime=$work/usr/share/mime
    cp /usr/share/mime/packages/freedesktop.org.xml "$mime/packages/"
    update-mime-database "$mime"
    printf '\x77\x27\x00\x00' > "$work/new-setup"     # 10103, as this program writes
    printf '\x75\x27\x00\x00' > "$work/old-setup"     # 10101
    printf '\x77\x28\x00\x00' > "$work/not-setup"
    type_of() {
        XDG_DATA_HOME=$work/usr/share XDG_DATA_DIRS=$work/usr/share \
            gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/.*content-type: //p'
    }
    [ "$(type_of "$work/new-setup")" = application/x-kvr-setup ] || fail "magic 10103"
    [ "$(type_of "$work/old-setup")" = application/x-kvr-setup ] || fail "magic 10101"
    [ "$(type_of "$work/not-setup")" != application/x-kvr-setup ] || fail "magic too wide"
else
    echo "update-mime-database or gio missing: the MIME magic was not checked"
fi
echo "packaging checked"
