#!/usr/bin/env bash
# Records what Debian's avrdude prints in each case the simulated bootloader can
# make it meet, with the command lines of programming targets 1, 2, 5 and 6.
# The output parser's tests read these files. Usage, from a built tree:
#   tests/firmware/avrdude/record.sh BUILD_DIR
# Takes about a minute: a real-size upload through a paced line, and a silent
# bootloader that avrdude gives up on only after 50 s.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:?usage: record.sh BUILD_DIR}" && pwd)"
sim="$build/bin/frosk-sim"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here/../../../firmware/"*.hex "$work/"
cd "$work"
# avrdude names the user's configuration file in its verbose output.
export HOME=/nonexistent

# record NAME PART SIM_OPTIONS -- AVRDUDE_ARGUMENTS (PORT stands for the simulated port)
record() {
  local name="$1" part="$2" options="$3"
  shift 4
  coproc SIM { exec "$sim" --bootloader "$part" $options; }
  local port
  read -r port <&"${SIM[0]}"
  local args=("${@//PORT/$port}")
  avrdude "${args[@]}" >"$here/$name.log" 2>&1 || true
  kill "$SIM_PID"
  wait "$SIM_PID" || true
  echo "recorded $name"
}

v2=(-p x128a4u -c avr109 -e -b 57600)
v1=(-p x32a4 -c avr109 -b 57600)
record success_x128a4u_48k_paced x128a4u --line-rate -- "${v2[@]}" -P PORT -U flash:w:FroskTecV2.hex:i
record success_x32a4 x32a4 "" -- "${v1[@]}" -P PORT -U flash:w:FroskTec.hex:i
record signature_x128a4u_on_x32a4 x32a4 "" -- "${v2[@]}" -P PORT -U flash:w:FroskTecV2.hex:i
record signature_x32a4_on_x128a4u x128a4u "" -- "${v1[@]}" -P PORT -U flash:w:FroskTec.hex:i
record verification_mismatch x32a4 --corrupt-readback -- "${v1[@]}" -P PORT -U flash:w:FroskTec.hex:i
record silent_bootloader x128a4u --silent -- "${v2[@]}" -P PORT -U flash:w:FroskTecV2.hex:i
record missing_file x128a4u "" -- "${v2[@]}" -P PORT -U flash:w:Missing.hex:i
avrdude "${v2[@]}" -P /dev/ttyFROSK0 -U flash:w:FroskTecV2.hex:i >"$here/missing_port.log" 2>&1 || true
avrdude "${v2[@]}" -P FroskTec.hex -U flash:w:FroskTecV2.hex:i >"$here/not_a_port.log" 2>&1 || true
for part in x128a4u:target5 atxmega32a4:target6; do
  avrdude -p "${part%%:*}" -P usb -c avrispmkii -e -U "boot:w:FroskTec_xboot.hex:i" -U fuse2:w:0xBF:m -v \
    >"$here/no_usb_programmer_${part##*:}.log" 2>&1 || true
done
echo "recorded the cases without a device"
