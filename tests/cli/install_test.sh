#!/bin/sh
# cmake --install puts kavelo, its runtime data file where the installed tool
# finds it, the manual pages, the bash completion and the copyright below a
# prefix, and the installed tool writes setups that start with that runtime.
# usage: install_test.sh BUILD_DIR CMAKE
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$2" --install "$1" --prefix "$prefix" > /dev/null
for f in bin/kavelo lib/kavelo/kavelo.dat share/man/man1/kavelo.1.gz \
         share/man/man5/kavelo-script.5.gz \
         share/bash-completion/completions/kavelo share/doc/kavelomaker/copyright; do
    test -f "$prefix/$f" || { echo "not installed: $f"; exit 1; }
done
gzip -t "$prefix/share/man/man1/kavelo.1.gz" "$prefix/share/man/man5/kavelo-script.5.gz"
version=$("$prefix/bin/kavelo" --version)
echo "$version" | grep -qx "setup runtime: [0-9]* bytes, $prefix/lib/kavelo/kavelo.dat" ||
    { echo "the installed tool does not use the installed runtime:"; echo "$version"; exit 1; }
cd "$prefix"
XDG_RUNTIME_DIR="$prefix" bin/kavelo new t.exe > /dev/null
cmp -n "$(stat -c %s lib/kavelo/kavelo.dat)" t.exe lib/kavelo/kavelo.dat
