#!/usr/bin/env bash
# ortiva-cli read against an independent MODBUS master: mbpoll reads the
# simulated module's registers as floats, device 0 in word order ABCD (-B)
# and device 1, set to word order CDAB, without it; the numbers must be the
# ones `read` prints from the formats the device records name.
#   mbpoll_check.sh ORTIVA_CLI ORTIVA_SIM
set -euo pipefail
cli=$1 sim=$2

if ! command -v mbpoll >/dev/null; then
  echo "SKIPPED: mbpoll is not installed (scripts/deps installs it)"
  exit 77
fi
command -v jq >/dev/null || { echo "SKIPPED: jq is not installed"; exit 77; }

work=$(mktemp -d)
"$sim" --steady >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/sim.out ]] && break; sleep 0.05; done
port=$(head -n1 "$work/sim.out")
[[ -n $port ]] || { echo "the simulator gave no port"; exit 1; }

cdab="1 IEE754 (FF2 FF1 FF4 FF3)"
"$cli" -p "$port" set "devices[1].current_format=$cdab" "devices[1].variable1_format=$cdab" \
  "devices[1].variable2_format=$cdab" "devices[1].variable3_format=$cdab" "devices[1].variable4_format=$cdab" >/dev/null
"$cli" -p "$port" read --json >"$work/read.json"

# "[11]: 	8" -> "8", one value a line.
poll() { mbpoll -m rtu -a 1 -b 9600 -P none -t 4:float "$@" -c 5 -1 "$port" | sed -n 's/^\[[0-9]*\]:[[:space:]]*//p'; }

status=0
check() {  # device, word order, mbpoll options...
  local device=$1 order=$2; shift 2
  local ours theirs
  ours=$(jq -r --argjson d "$device" '.devices[] | select(.device == $d) | .quantities[] | "\(.format) \(.value)"' \
    "$work/read.json")
  theirs=$(poll "$@")
  echo "device $device, mbpoll $*:"; paste <(echo "$ours") <(echo "$theirs")
  if ! paste <(echo "$ours") <(echo "$theirs") | awk -v order="$order" '
      { if ($2 != order) { print "  format " $1 " " $2 ", not float " order; bad = 1 }
        d = $3 - $4; if (d < 0) d = -d; m = $3 < 0 ? -$3 : $3
        if (NF != 4 || d > 1e-5 * m + 1e-30) { print "  differs: " $0; bad = 1 } }
      END { exit bad || NR != 5 }'; then
    status=1
  fi
}
check 0 ABCD -B -r 1
check 1 CDAB -r 11
exit $status
