#!/usr/bin/env bash
# The Debian package of a build: cpack makes it from the build's programs into
# a scratch folder, dpkg -x unpacks it into a scratch root, and the programs
# run from there: kestrix-cli --help, kestrix --version without a display, and
# the per-user folder of the installed program.
# Usage: package_test.sh BUILD-DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

# gzip instead of xz: the test build's programs are large, and the
# compression is not what is tested.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
package=$scratch/out/kestrix_${version}_amd64.deb
[[ -f $package ]] || fail "no $package: $(ls "$scratch/out")"

depends=$(dpkg-deb --field "$package" Depends)
for library in libc6 libqt6widgets6 libstdc++6; do
    [[ $depends == *"$library "* || $depends == *"$library," || $depends == *"$library" ]] ||
        fail "Depends lacks $library: $depends"
done
dpkg-deb --contents "$package" | awk '{print $6}' | sed 's|^\./|/|' >"$scratch/contents"
for file in /usr/bin/kestrix /usr/bin/kestrix-cli /usr/share/kestrix/Kestrix_D.htm /usr/share/kestrix/Kestrix_E.htm \
    /usr/share/kestrix/License.htm /usr/share/kestrix/TCLTests/version.tcl /usr/share/applications/kestrix.desktop \
    /usr/share/icons/hicolor/48x48/apps/kestrix.png /usr/share/man/man1/kestrix-cli.1.gz \
    /usr/share/bash-completion/completions/kestrix-cli /usr/share/doc/kestrix/copyright; do
    grep -qx -- "$file" "$scratch/contents" || fail "$file is not in the package"
done

root=$scratch/root
dpkg -x "$package" "$root"
desktop-file-validate "$root/usr/share/applications/kestrix.desktop" || fail "the desktop entry"
zcat "$root/usr/share/man/man1/kestrix-cli.1.gz" | grep -q '^\.SH FILES' || fail "the manual page has no FILES"

mkdir "$scratch/site" "$scratch/home"
cd "$scratch/site"
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
"$root/usr/bin/kestrix-cli" --help | grep -q '^usage: kestrix-cli' || fail "kestrix-cli --help"
[[ $("$root/usr/bin/kestrix" --version) == "Kestrix IPv4+IPv6 V4.00.00" ]] || fail "kestrix --version"

# Started from a folder without Kestrix.ini, the installed kestrix-cli reads
# the window's per-user Kestrix.ini (and makes no folder); from a folder with
# Kestrix.ini, that one. A broken Kestrix.ini shows which one was read (and
# stops before any network traffic). The window's own use of the folder:
# start_inputs_test.
run_cli() { "$root/usr/bin/kestrix-cli" file get 127.0.0.1 none "$scratch/fetched" 2>&1 || true; }
perUser=$scratch/config/kestrix
"$root/usr/bin/kestrix-cli" config info none.cfg 2>/dev/null && fail "config info of no file"
[[ ! -e $perUser ]] || fail "kestrix-cli made the per-user folder"
mkdir -p "$perUser"
printf '[TFTP\n' >"$perUser/Kestrix.ini"
output=$(run_cli)
[[ $output == *"$perUser/Kestrix.ini"* ]] || fail "the per-user Kestrix.ini is not read: $output"
printf '[TFTP\n' >"$scratch/site/Kestrix.ini"
output=$(run_cli)
[[ $output == *Kestrix.ini* && $output != *"$perUser"* ]] || fail "the site's Kestrix.ini is not read: $output"
echo "package: $(basename "$package") installs and runs"
