#!/usr/bin/env bash
# ortiva-cli.exe under Wine against two simulated modules built for Linux, each
# behind a COM port of the Wine prefix (a link to its pseudo-terminal):
#   a value set on A, backup from A, restore onto B (which answers only at its
#   own rate), diff B -> 0; a value set on B -> diff 4; a port not there -> 2.
#
#   cli_e2e.sh WINE_RUN PREFIX CLI_EXE SIM
#
# Exits 77 (skipped) when CLI_EXE is empty: ortiva-cli is not built for Windows.
set -uo pipefail
wine_run="$1" prefix="$2" cli="$3" sim="$4"
if [[ -z "$cli" ]]; then
  echo "skipped: ortiva-cli.exe is not built in this build for Windows"
  exit 77
fi
if [[ ! -x "$sim" ]]; then
  echo "no simulated module at $sim: build ortiva-sim for Linux (scripts/windows does) or set ORTIVA_NATIVE_BUILD_DIR" >&2
  exit 1
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all
source "$(dirname "$wine_run")/wine-com.sh"

work=$(mktemp -d)
sims=()
finish() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null; done
  com_release
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wine_prefix_init || exit 1
com_take_slot || exit 1
a=$ORTIVA_COM_A b=$ORTIVA_COM_B
com_exec "$sim" --link "$prefix/dosdevices/com$a" >/dev/null &
sims+=($!)
com_exec "$sim" --link "$prefix/dosdevices/com$b" --check-rate >/dev/null &
sims+=($!)
ORTIVA_COM_LINKS+=("$prefix/dosdevices/com$a" "$prefix/dosdevices/com$b")
for ((i = 0; i < 500; i++)); do
  [[ -L "$prefix/dosdevices/com$a" && -L "$prefix/dosdevices/com$b" ]] && break
  sleep 0.01
done

failures=0
# expect CODE WHAT ARG...: runs ortiva-cli.exe (no COM pairs of its own) and
# checks its exit code. COM ports above 9 are named in the device form.
expect() {
  local want="$1" what="$2" got
  shift 2
  ORTIVA_WINE_COM_PAIRS=0 "$wine_run" "$prefix" "$cli" "$@" >"$work/out" 2>"$work/err" </dev/null
  got=$?
  if [[ "$got" == "$want" ]]; then
    echo "ok: $what (exit $got)"
  else
    echo "FAILED: $what: exit $got, expected $want"
    sed 's/^/  out: /' "$work/out"
    sed 's/^/  err: /' "$work/err"
    failures=$((failures + 1))
  fi
}
port_a="\\\\.\\COM$a" port_b="\\\\.\\COM$b"
profile='Z:'"${work//\//\\}"'\a.json'

expect 0 "set on A" -p "$port_a" -b 9600 set system.modbus_slave_address=7
expect 0 "backup from A" -p "$port_a" -b 9600 backup "$profile"
expect 0 "restore onto B" -p "$port_b" -b 9600 restore "$profile"
expect 0 "diff B with the profile" -p "$port_b" -b 9600 diff "$profile"
expect 0 "set on B" -p "$port_b" -b 9600 set system.modbus_slave_address=3
expect 4 "diff B after the change" -p "$port_b" -b 9600 diff "$profile"
expect 2 "a COM port that is not there" -p '\\.\COM4' -b 9600 info

((failures == 0)) || exit 1
echo "ortiva-cli.exe: backup, restore and diff through COM$a and COM$b"
