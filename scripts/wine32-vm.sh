#!/usr/bin/env bash
# The 32-bit Windows tests on a machine whose kernel refuses i386 code.
#
#   bash scripts/wine32-vm.sh [CTEST ARGS...]
#   bash scripts/wine32-vm.sh --prepare     makes the machine and the builds, runs nothing
#   bash scripts/wine32-vm.sh --alloc-every every N of the allocation-failure
#                                           runs (scripts/alloc-failure-wine.sh)
#
# Some virtual machines run 64-bit user code only: no 32-bit program starts
# there, so Wine cannot run the shipped 32-bit orvix.exe. This script runs the
# 32-bit build's tests in an emulated x86-64 machine (QEMU, software
# emulation) with a stock Debian kernel, which does execute i386 code:
#
#   out/vm/root      a Debian 12 root made with debootstrap: the kernel, Wine
#                    (64-bit and wine32:i386, with what they recommend), Xvfb,
#                    Python, OpenSSL, CTest and the Turkish locale; made once
#   out/vm/root.img  that root as the machine's disk (its Wine prefix stays there)
#   out/win32vm      the 32-bit build, configured with ORVIX_WINE32=ON: its
#                    tests are registered although this machine cannot run them
#   out/release      the release, whose orvix.exe two of the tests run
#
# The machine sees the source tree at the same path (9p), runs CTest in
# out/win32vm with the arguments given (every test when none), writes the
# output to out/vm/result.log (CTest's whole log, the passing tests' output
# too, to out/vm/LastTest.log) and powers off. The exit status is CTest's.
# The programs run from copies on the machine's own disk (see below).
# Nothing of the project is changed for it: the same programs and scripts
# run, under the same bench (scripts/wine-bench.sh), as on a machine that runs
# 32-bit programs itself.
#
# Times on a 2-core machine: the root about 15 minutes (once), the image half
# a minute, the machine's start 20 s, the Wine prefix 2 minutes (once); the
# tests run some times slower than natively.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
vm=$root/out/vm
build=$root/out/win32vm
suite=bookworm
mirror=${ORVIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}

bash scripts/install-deps.sh
need=()
for p in qemu-system-x86 debootstrap e2fsprogs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
  echo "wine32-vm: installing ${need[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

mkdir -p "$vm"

# Undoes the chroot's mounts however the root's making ends.
unmount_root() {
  for m in dev/pts dev sys proc; do
    mountpoint -q "$vm/root/$m" && umount "$vm/root/$m" || true
  done
}

make_root() {
  local r=$vm/root
  [ -f "$r/.orvix-ready" ] && return 0
  echo "wine32-vm: making the emulated machine's root in $r (once)"
  rm -rf "$r"
  debootstrap --variant=minbase "$suite" "$r" "$mirror" >"$vm/debootstrap.log" 2>&1 || {
    echo "wine32-vm: debootstrap failed (see $vm/debootstrap.log)" >&2
    return 1
  }
  trap unmount_root EXIT
  mount --bind /proc "$r/proc"
  mount --bind /sys "$r/sys"
  mount --bind /dev "$r/dev"
  mount --bind /dev/pts "$r/dev/pts"
  cp /etc/resolv.conf "$r/etc/resolv.conf"
  local in=(chroot "$r" env DEBIAN_FRONTEND=noninteractive LC_ALL=C)
  {
    "${in[@]}" dpkg --add-architecture i386
    "${in[@]}" apt-get update -qq
    "${in[@]}" apt-get install -y -qq --no-install-recommends linux-image-amd64 initramfs-tools kmod
    # As on a machine that runs them itself: Wine and Xvfb with what they
    # recommend. The i386 packages' own scripts that start i386 programs
    # (schema and loader caches) fail in this chroot and say so; none of
    # them is needed by a test.
    "${in[@]}" apt-get install -y -qq wine64 wine32:i386 xvfb xauth python3 openssl locales cmake \
      procps iproute2
    sed -i 's/^# *\(tr_TR\|en_US\)\.UTF-8 UTF-8/\1.UTF-8 UTF-8/' "$r/etc/locale.gen"
    "${in[@]}" locale-gen
    "${in[@]}" apt-get clean
  } >"$vm/root-packages.log" 2>&1 || {
    echo "wine32-vm: installing the root's packages failed (see $vm/root-packages.log)" >&2
    return 1
  }
  unmount_root
  trap - EXIT
  install -m 755 /dev/stdin "$r/orvix-vm-init" <<'EOF'
#!/bin/bash
# The emulated machine's first process: mounts, runs the command, powers off.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc 2>/dev/null; mount -t sysfs sys /sys 2>/dev/null; mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts; mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp; mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio; modprobe 9p
src=$(sed -n 's/.*orvix.src=\([^ ]*\).*/\1/p' /proc/cmdline)
mkdir -p "$src"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=1048576,cache=loose src "$src"
ip link set lo up
hostname orvix-vm
bash "$src/out/vm/cmd.sh" >"$src/out/vm/result.log" 2>&1
echo $? >"$src/out/vm/result.rc"
sync
umount "$src" 2>/dev/null
echo o >/proc/sysrq-trigger
sleep 60
EOF
  touch "$r/.orvix-ready"
}

make_image() {
  local img=$vm/root.img
  if [ -f "$img" ] && [ "$img" -nt "$vm/root/.orvix-ready" ]; then
    return 0
  fi
  echo "wine32-vm: writing the machine's disk $img"
  rm -f "$img"
  mke2fs -q -t ext4 -d "$vm/root" -F "$img" 16G
}

make_root
make_image

# The release as the tree stands (a few seconds when nothing changed): the
# release tests run its orvix.exe.
bash scripts/release.sh >/dev/null
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DORVIX_WINE32=ON -DORVIX_WINE_TIMEOUT_SCALE=4 -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build "$build" -j "$(nproc)"
if [ "${1:-}" = "--prepare" ]; then
  echo "wine32-vm: ready ($vm, $build)"
  exit 0
fi

# The programs run from the machine's own disk: Wine maps some pages of a
# program on the 9p share wrongly (as zeros; the probe of allocation
# failures died at its first instruction), although reading the file gives
# the right bytes. So the build and the release are copied there first and
# mounted over their shared paths. The bench's Wine prefix lives there too:
# Wine wants its file locks.
{
  for tree in "$build" "$root/out/release"; do
    local_copy=/var/orvix-copy/$(basename "$tree")
    printf 'rm -rf %q; mkdir -p %q\n' "$local_copy" "$local_copy"
    printf 'tar -C %q --exclude=./wine -cf - . | tar -C %q -xf -\n' "$tree" "$local_copy"
    printf 'mount --bind %q %q\n' "$local_copy" "$tree"
  done
  echo 'mkdir -p /var/orvix-wine "'"$build"'/wine"'
  echo 'mount --bind /var/orvix-wine "'"$build"'/wine"'
  printf 'cd %q\n' "$root"
  if [ "${1:-}" = "--alloc-every" ]; then
    # Every N of the allocation-failure runs, not the test command's stride:
    # hours here, past CTest's limit for that test, so not through CTest.
    printf 'ORVIX_TIME_SCALE=4 bash scripts/alloc-failure-wine.sh %q 1\n' "$build"
  else
    printf 'ctest --test-dir %q -j 2 --output-on-failure' "$build"
    ((${#@})) && printf ' %q' "$@"
    echo
    # CTest's whole log (the passing tests' output too) back to the share.
    echo 'status=$?'
    printf 'cp %q %q\n' "$build/Testing/Temporary/LastTest.log" "$vm/LastTest.log"
    echo 'exit $status'
  fi
} >"$vm/cmd.sh"
rm -f "$vm/result.rc" "$vm/result.log" "$vm/LastTest.log"

kernel=$(ls "$vm"/root/boot/vmlinuz-* | sort -V | tail -1)
initrd=$(ls "$vm"/root/boot/initrd.img-* | sort -V | tail -1)
echo "wine32-vm: starting the emulated machine ($(basename "$kernel")); the output goes to $vm/result.log"
# -smap/-smep: QEMU 7.2's software x86 reads the stack of a user-mode iretq
# (Wine's return from a system call) as the kernel, which SMAP then refuses.
qemu-system-x86_64 -machine q35 -accel tcg,thread=multi -cpu max,-smap,-smep -smp "$(nproc)" -m 8G \
  -nographic -no-reboot -serial mon:stdio \
  -kernel "$kernel" -initrd "$initrd" \
  -append "root=/dev/vda rw console=ttyS0 quiet init=/orvix-vm-init orvix.src=$root" \
  -drive file="$vm/root.img",format=raw,if=virtio,cache=unsafe \
  -virtfs local,path="$root",mount_tag=src,security_model=passthrough,id=src \
  </dev/null >"$vm/console.log" 2>&1 || true

cat "$vm/result.log" 2>/dev/null || true
if [ ! -f "$vm/result.rc" ]; then
  echo "wine32-vm: the emulated machine ended without a result (see $vm/console.log)" >&2
  exit 1
fi
exit "$(cat "$vm/result.rc")"
