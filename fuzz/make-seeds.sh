#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the seed corpora of the fuzz targets from the protocol's worked bytes
# (fuzz/corpus/<target>/<name>). The seeds are committed; run this again only
# after changing it. Each seed is the target's parameter bytes followed by the
# stream (see the comment at the top of each fuzz_*.cpp).
set -euo pipefail
cd "$(dirname "$0")"

# Hex helpers: bytes are written as hex text without separators.
sum8() { # low byte of the sum of the hex bytes
  local hex=$1 s=0 i
  for ((i = 0; i < ${#hex}; i += 2)); do s=$((s + 16#${hex:i:2})); done
  printf '%02x' $((s & 255))
}
with_sum() { printf '%s%s' "$1" "$(sum8 "$1")"; }
# A measurement frame for a distance in cm (optionally four more bytes).
mframe() {
  local d=$1 rest=${2:-00000000}
  with_sum "$(printf '5959%02x%02x%s' $((d & 255)) $((d >> 8)) "$rest")"
}
seed() { # target name hex
  mkdir -p "corpus/$1"
  printf '%b' "$(sed 's/../\\x&/g' <<<"$3")" >"corpus/$1/$2"
}
# Explicit chunking (chunk mode 0x80): each hex argument becomes one chunk,
# written as its length byte followed by its bytes.
chunks() { local c; for c in "$@"; do printf '%02x%s' $((${#c} / 2)) "$c"; done; }
rep() { local i out=""; for ((i = 0; i < $1; i++)); do out+=$2; done; printf '%s' "$out"; }

F300=$(mframe 300)                  # 59 59 2c 01 00 00 00 00 df
FMAX=$(mframe 65535)                # ff ff: 65535 cm
F5959=$(mframe $((0x5959)))         # header bytes inside the frame
FBAD=5959640000000000ff             # wrong checksum
TEXT=$(printf '%s' "3.00m\r\n" | od -An -tx1 | tr -d ' \n')

# Measurement parser: seed word, max chunk, stream.
T=fuzz_measurement_parser
seed $T frames_300 "01007f$(rep 12 "$F300")"
seed $T frames_bytewise "020000$(rep 12 "$F300")"
seed $T max_distance "03007f$FMAX$F300$FMAX$F300"
seed $T header_in_distance "04000a$F5959$F5959$F300$F5959$F300"
seed $T bad_checksum "050007$F300$FBAD$F300$FBAD$F300$F300"
seed $T stray_bytes "060005aa$F300""59$F300""5a0502$F300$F300""59"
seed $T text_output "07007f$(rep 20 "$TEXT")"
seed $T split_frames "080002$(rep 6 "$F300$FMAX")"
seed $T chunks_split_header "090080$(chunks "${F300}59" "${F300:2}" "" "$FMAX" "59" "59" "${F300:4}")"
seed $T chunks_eleven_bytes "0a0080$(chunks "$F300" "59" "59" "$FMAX" "5959")"

# Acknowledgement search: seed word, max chunk, selector, [ack], stream.
T=fuzz_ack_search
seed $T status_ack_between_frames "010020""00""$F300""5a05020061$F300"
seed $T status_ack_split "020003""00""$F300$F300""5a05020061"
seed $T echo_baud_rate "030010""03""$F300""5a080600c201002b$F300"
seed $T echo_io_delay "040004""05""5a08626400c800f0"
seed $T bad_status "050040""00""5a05020162$F300"
seed $T modbus_enable "060008""06""$F300""5a056f00ce"
seed $T modbus_echo "070040""08""$F300""0106008100011822"
seed $T custom_ack "080006""85""5a05020061""$F300""5a0502""0061"
seed $T chunks_ack_across_reads "0a0080""00""$(chunks "${F300}5a0502" "0061")"
seed $T echo_differs "090040""03""5a080600c201002c"

# Query reply search: seed word, max chunk, selector, pass limit, stream.
VER=$(with_sum 5a0701030201)
FULLTXT=$(printf '%s' "ZN84-3.0.3" | od -An -tx1 | tr -d ' \n')
FULL=$(with_sum "5a1e14$FULLTXT$(rep 16 00)")
T=fuzz_reply_search
seed $T version "010040""00""02""$F300$VER"
seed $T version_split "020004""00""02""$F300$VER$F300"
seed $T full_version "030040""01""02""$FULL"
seed $T full_version_split "04001f""01""02""$F300$FULL"
seed $T trigger "050009""02""0a""$F300"
seed $T trigger_after_noise "060003""02""0a""5a0501""$F300"
seed $T garbage_then_header "070040""00""02""aabbcc5a07""01030201$(sum8 5a0701030201)"
seed $T chunks_reply_split "090080""00""02""$(chunks "$F300${VER:0:6}" "${VER:6}")"
seed $T custom_header "080008""83""05""5a1e1400""10""$FULL"

# Modbus read reply: seed word, max chunk, address, kind, word, stream.
T=fuzz_modbus_reply
seed $T distance "010040""01""00""2301""0103020123f80d"
seed $T distance_after_frames "020040""01""00""2301""$F300$F300""0103020123f80d"
seed $T distance_split "030004""01""00""2301""0103020123f80d"
seed $T version "040040""01""01""0000""010304010203045b3c"
seed $T version_bad_crc "050040""01""01""0000""010304010203045b3d"
seed $T other_address "060040""02""00""0000""0103020123f80d"
seed $T built_reply "070010""05""02""3412""$F300"
seed $T chunks_split_reply "090080""01""00""0000""$(chunks "$F300""010302" "0123f80d")"
seed $T requests "080040""01""00""8100""010300000001840a""0106008100011822"

# Upgrade acknowledgement: seed word, max chunk, frame length, index, stream.
T=fuzz_upgrade_ack
seed $T ack_alone "010040""08""0000""5a054900a8"
seed $T ack_after_frame "020040""ff""0100""$F300""5a054900a8"
seed $T ack_split "030002""08""0200""$F300""5a054900a8$F300"
seed $T ack_four_bytes "040040""08""0000""5a054900"
seed $T wrong_fourth_byte "050040""ff""0300""5a054901a9$F300"
seed $T can_data_frame "060040""08""0100""1234"
seed $T chunks_ack_then_fifth_byte "080080""08""0000""$(chunks "5a054900" "59")"
seed $T chunks_ack_in_pieces "090080""08""0000""$(chunks "59595a" "" "05" "4900a8")"
seed $T serial_image "070040""ff""0500""$(rep 249 a5)""5a054900a8"
