#!/bin/busybox sh
# The guest's whole user space: load the floppy driver, run brindlewood-format on the emulated
# drives, report on the serial console, power off.
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
run() {  # name, command...
  name=$1; shift
  "$@" </dev/null >/out.txt 2>&1
  echo "RESULT $name exit=$?"
  sed "s/^/OUTPUT $name: /" /out.txt
}
if [ "${brindcase:-}" = usb ]; then
  for m in scsi_common scsi_mod crct10dif_common crc-t10dif crc64 crc64-rocksoft t10-pi sd_mod \
           usb-common usbcore ehci-hcd ehci-pci; do insmod /modules/$m.ko; done
  insmod /modules/usb-storage.ko delay_use=0
  # The disks by the serial numbers qemu gave their USB devices; a busy host enumerates slowly.
  for i in $(seq 240); do
    for d in /sys/block/sd*; do
      [ -e "$d" ] || continue
      serial=$(cat "$(readlink -f "$d/device")/../../../../serial" 2>/dev/null)
      [ -n "$serial" ] && eval "dev_$serial=/dev/${d##*/}"
    done
    [ -n "${dev_QUICK:-}" ] && [ -n "${dev_FULL:-}" ] && [ -n "${dev_PROT:-}" ] && [ -n "${dev_STICK:-}" ] && break
    sleep 0.25
  done
  echo "RESULT usb-disks $dev_QUICK $dev_FULL $dev_PROT $dev_STICK"
  run usbquick /brindlewood-format --quick -y -L "From USB" "$dev_QUICK"
  run usbfull /brindlewood-format --full -y -L "Full USB" "$dev_FULL"
  run usbprot /brindlewood-format --full -y -L "Protected" "$dev_PROT"
  run usbstick /brindlewood-format --full -y -L "Stick" "$dev_STICK"
  sync
  echo "RESULT usb-done"
  poweroff -f
fi
insmod /modules/floppy.ko
for i in 1 2 3 4 5 6 7 8 9 10; do [ -b /dev/fd0 ] && [ -b /dev/fd1 ] && break; sleep 0.5; done
if [ "${brindcase:-}" = nodisk ]; then  # set on the kernel command line
  run nodisk /brindlewood-format --full -y -L Empty /dev/fd0
  run type288 /brindlewood-format --full -y -L Empty /dev/fd1
  # Retry on the serial terminal: the host inserts a protected disk at the first question and a
  # writable one at the second.
  /brindlewood-format --full -L Retry /dev/fd0 </dev/ttyS0 >/retry.txt 2>&1 &
  tool=$!
  for n in 1 2; do
    for i in $(seq 300); do
      [ "$(grep -o 'click retry' /retry.txt | wc -l)" -ge $n ] && break
      sleep 0.2
    done
    echo "RESULT prompt $n"
  done
  wait $tool
  echo "RESULT retry exit=$?"
  sed "s/^/OUTPUT retry: /" /retry.txt
  echo "RESULT done"
  poweroff -f
fi
run full /brindlewood-format --full -y -L "From A Guest" /dev/fd0
run quick /brindlewood-format --quick -y -L "From A Guest" /dev/fd0
run protected /brindlewood-format --full -y -L "Protected" /dev/fd1
run nodevice /brindlewood-format -y /dev/fd7
echo "RESULT done"
poweroff -f
