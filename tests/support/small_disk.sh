#!/bin/bash
# Mounts or unmounts the small disk (an 8 MiB tmpfs) that the full-disk tests
# fill up. Mounting needs root; without it nothing is mounted and those tests
# skip themselves.
#   small_disk.sh mount|unmount FOLDER
set -uo pipefail
action="$1"
folder="$2"
marker="$folder/small-disk-mounted"

case "$action" in
mount)
    mkdir -p "$folder"
    mountpoint -q "$folder" && umount "$folder"
    if [ "$(id -u)" -ne 0 ]; then
        echo "small_disk: not root, no small disk mounted"
        exit 0
    fi
    mount -t tmpfs -o size=8m tmpfs "$folder" || { echo "small_disk: mount failed"; exit 0; }
    touch "$marker"
    ;;
unmount)
    if mountpoint -q "$folder"; then
        umount "$folder"
    fi
    ;;
*)
    echo "usage: small_disk.sh mount|unmount FOLDER" >&2
    exit 2
    ;;
esac
