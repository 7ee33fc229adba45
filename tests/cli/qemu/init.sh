#!/bin/busybox sh
# The guest's whole user space: load the floppy driver, run brindlewood-format on the emulated
# drives, report on the serial console, power off.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
insmod /floppy.ko
for i in 1 2 3 4 5 6 7 8 9 10; do [ -b /dev/fd0 ] && [ -b /dev/fd1 ] && break; sleep 0.5; done
run() {  # name, command...
  name=$1; shift
  "$@" </dev/null >/out.txt 2>&1
  echo "RESULT $name exit=$?"
  sed "s/^/OUTPUT $name: /" /out.txt
}
if [ "${brindcase:-}" = nodisk ]; then  # set on the kernel command line
  run nodisk /brindlewood-format --full -y -L Empty /dev/fd0
  run type288 /brindlewood-format --full -y -L Empty /dev/fd1
  echo "RESULT done"
  poweroff -f
fi
run full /brindlewood-format --full -y -L "From A Guest" /dev/fd0
run quick /brindlewood-format --quick -y -L "From A Guest" /dev/fd0
run protected /brindlewood-format --full -y -L "Protected" /dev/fd1
run nodevice /brindlewood-format -y /dev/fd7
echo "RESULT done"
poweroff -f
