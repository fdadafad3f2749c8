# Debian roots made by debootstrap from the machine's Debian mirror, kept
# under build/roots/ so that a second run fetches nothing. Source with
# `. scripts/lib/debian-root.sh`.
#
#   debian_root SUITE DIR "PACKAGES"   makes DIR (once for these packages)
#   in_root DIR COMMAND...             runs COMMAND in DIR with /proc, /sys and /dev

debian_mirror() {
    sed -n 's|^URIs: \(http[^ ]*/debian\)$|\1|p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1
}

debian_root() {
    suite=$1 dir=$2 packages=$3
    # The package list is part of the root: another list makes it anew.
    stamp="$suite $(echo "$packages" | tr -s ' \n' '  ')"
    if [ -f "$dir/.kpl-root" ] && [ "$(cat "$dir/.kpl-root")" = "$stamp" ]; then
        return 0
    fi
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    mirror=$(debian_mirror)
    debootstrap --variant=minbase --include="$(echo $packages | tr ' ' ',')" \
        "$suite" "$dir" "${mirror:-http://deb.debian.org/debian}" >"$dir.log" 2>&1 || {
        echo "debootstrap of $suite failed; see $dir.log" >&2
        return 1
    }
    echo "$stamp" >"$dir/.kpl-root"
}

in_root() {
    dir=$1
    shift
    mount -t proc proc "$dir/proc"
    mount --bind /sys "$dir/sys"
    mount --bind /dev "$dir/dev"
    status=0
    chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        "$@" || status=$?
    umount "$dir/dev"
    umount "$dir/sys"
    umount "$dir/proc"
    return $status
}
