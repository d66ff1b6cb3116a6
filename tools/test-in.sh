#!/usr/bin/env bash
# make test-in DEBIAN=12|13 [GOAL=...]: the README's `make test` (or another goal of the Makefile,
# such as `soak N=5`), run in a fresh clone of the current commit
# inside a minimal root of that Debian release (git and make only, as a newcomer starts), so a
# maintainer on one release checks the other. The root is made once with mmdebstrap from this
# machine's Debian mirror and reused; each run clones anew, and `make test` installs the rest.
# Needs root. Not part of `make test`. Uncommitted changes are not in the clone.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
release=${1:-}
shift || true
goal=${*:-test}
case "$release" in
12) suite=bookworm ;;
13) suite=trixie ;;
*)
    echo "usage: make test-in DEBIAN=12|13 [GOAL='soak N=5']" >&2
    exit 2
    ;;
esac
if [ "$(id -u)" != 0 ]; then
    echo "test-in: needs root (it makes a Debian root and runs the tests inside it with chroot)" >&2
    exit 1
fi
roots=${GERM_ROOTS:-/var/tmp/germcatcher}
root="$roots/debian-$release"
log="$repo/build/test-in-$release.log"
started=$(date +%s)

# The mirror this machine's own apt uses, from either format of sources; deb.debian.org if none.
mirror_of() { # $1: a pattern the suite must match
    {
        cat /etc/apt/sources.list 2>/dev/null | awk -v want="$1" '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { if ($(i + 1) ~ want) print $i; break } }'
        for f in /etc/apt/sources.list.d/*.sources; do
            if [ -f "$f" ]; then
                awk -v want="$1" '
                    /^URIs:/ { uri = $2 } /^Suites:/ { if ($2 ~ want) print uri }
                    /^$/ { uri = "" }' "$f"
            fi
        done
    } | head -n 1 || true
}
main_mirror=$(mirror_of '^[a-z]+$')
security_mirror=$(mirror_of '-security$')
main_mirror=${main_mirror:-http://deb.debian.org/debian}
security_mirror=${security_mirror:-http://deb.debian.org/debian-security}

if [ ! -x "$root/usr/bin/make" ]; then
    command -v mmdebstrap >/dev/null || {
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
    }
    echo "test-in: making a Debian $release ($suite) root in $root from $main_mirror"
    rm -rf "$root.new"
    mkdir -p "$roots"
    mmdebstrap --quiet --variant=minbase --include=git,make \
        "$suite" "$root.new" \
        "deb $main_mirror $suite main" "deb $main_mirror $suite-updates main" \
        "deb $security_mirror $suite-security main"
    mv "$root.new" "$root"
fi

# What lets this machine reach its registries goes along: apt settings and CA certificates of the
# machine's own (no package owns them), npm's settings and name resolution. Copied on every run,
# so the root follows the machine.
for f in /etc/apt/apt.conf.d/*; do
    [ -f "$f" ] && ! dpkg -S "$f" >/dev/null 2>&1 && cp "$f" "$root/etc/apt/apt.conf.d/"
done
if ls /usr/local/share/ca-certificates/*.crt >/dev/null 2>&1; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
    # Merged into the bundle now if the root has the tool, else when a package brings it.
    [ -x "$root/usr/sbin/update-ca-certificates" ] && chroot "$root" update-ca-certificates >/dev/null 2>&1 || true
fi
if command -v npm >/dev/null; then
    {
        cat "$(npm config get globalconfig 2>/dev/null)" 2>/dev/null || true
        cat "$HOME/.npmrc" 2>/dev/null || true
    } >"$root/root/.npmrc"
fi
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

work=/srv/germcatcher
rm -rf "${root:?}$work"
git clone --quiet --no-hardlinks "$repo" "$root$work"
commit=$(git -C "$root$work" rev-parse --short HEAD)
echo "test-in: make $goal at $commit on Debian $release ($suite); output in $log"
mkdir -p "$(dirname "$log")"

# A mount namespace of its own: the mounts end with the run, however it ends.
set +e
unshare --mount --propagation private bash -s "$root" "$work" "${CI:-}" "$goal" >"$log" 2>&1 <<'INSIDE'
set -e
root=$1 work=$2 ci=$3 goal=$4
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mount -t tmpfs tmpfs "$root/run"
exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb ${ci:+CI=$ci} bash -c "cd $work && make $goal"
INSIDE
status=$?
set -e
elapsed=$(($(date +%s) - started))
# For make test, CTest's summaries (the sanitizer run's, then the whole run's) and the tests that
# failed; for make bench, its figures; for any other goal, what it printed last.
if [ "$goal" = test ]; then
    grep -E "tests passed|tests failed|^[[:space:]]+[0-9]+ - .*\(" "$log" | tail -n 40 || tail -n 20 "$log"
elif [ "$goal" = bench ] && grep -q '^bench: ' "$log"; then
    sed -n '/^bench: /,$p' "$log"
else
    tail -n 30 "$log"
fi
echo "test-in: Debian $release: make $goal $([ $status -eq 0 ] && echo passed || echo "FAILED ($status)") in $((elapsed / 60)) min $((elapsed % 60)) s"
exit $status
