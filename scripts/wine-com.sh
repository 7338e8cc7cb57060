# Shell functions for running Windows programs under Wine with COM ports served
# by pseudo-terminals (sourced by scripts/wine-run and the Wine tests).
#
# COM numbers come in slots of two, slot K being COM(5+2K) and COM(6+2K). A
# slot is taken with a lock file in the prefix, so runs at the same time never
# share a port; the kernel frees the lock when its holder ends, however it
# ends, and the next holder clears what a killed one left behind.

ORTIVA_COM_FIRST=5
ORTIVA_COM_SLOTS=32
ORTIVA_COM_LOCK_FDS=()
ORTIVA_COM_TAKEN=()      # slot numbers held by this shell
ORTIVA_COM_SOCATS=()     # pids of the socat processes started here
ORTIVA_COM_LINKS=()      # dosdevices links made here

# Makes the Wine prefix $WINEPREFIX if it is not there yet (once, under a lock).
wine_prefix_init() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
      WINEDEBUG=-all wineboot -i 9>&- >/dev/null 2>&1
      WINEDEBUG=-all wineserver -w 9>&-
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts the prefix's Wine server unless it runs, to stay 10 s after its last
# program, and with it Wine's own background programs (services, devices),
# silent: started by a test program they would hold its output open for as
# long as the server lives. The server opens the COM ports' terminals itself
# and takes one as its controlling terminal: when that line hangs up it gets
# SIGHUP and dumps its objects to its standard error.
wine_server_start() {
  (
    flock 9
    if (com_exec wineserver -p10) 9>&- </dev/null >/dev/null 2>&1; then
      (com_exec wine cmd /c exit) 9>&- </dev/null >/dev/null 2>&1
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Runs a command in place of the calling (sub)shell without the slot locks, so
# that nothing it leaves running (socat, wineserver) holds a slot after this
# shell has ended: `com_exec CMD... &` (its pid is $!) or `(com_exec CMD...)`.
com_exec() {
  for fd in "${ORTIVA_COM_LOCK_FDS[@]}"; do exec {fd}>&-; done
  exec "$@"
}

# com_take_slot: takes a free slot and sets ORTIVA_COM_A and ORTIVA_COM_B to
# its two numbers.
com_take_slot() {
  local dir="$WINEPREFIX/ortiva-com" k fd pid n
  mkdir -p "$dir"
  for ((k = 0; k < ORTIVA_COM_SLOTS; k++)); do
    exec {fd}>"$dir/slot$k.lock"
    if flock -n "$fd"; then
      ORTIVA_COM_LOCK_FDS+=("$fd")
      ORTIVA_COM_TAKEN+=("$k")
      # Whatever a killed holder of this slot left: its socat and its links.
      if [[ -f "$dir/slot$k.pid" ]]; then
        pid=$(<"$dir/slot$k.pid")
        if [[ -n "$pid" ]] && grep -qaF "$WINEPREFIX/dosdevices/com" "/proc/$pid/cmdline" 2>/dev/null; then
          kill "$pid" 2>/dev/null || true
        fi
        rm -f "$dir/slot$k.pid"
      fi
      ORTIVA_COM_A=$((ORTIVA_COM_FIRST + 2 * k))
      ORTIVA_COM_B=$((ORTIVA_COM_A + 1))
      for n in "$ORTIVA_COM_A" "$ORTIVA_COM_B"; do
        rm -f "$WINEPREFIX/dosdevices/com$n"
      done
      return 0
    fi
    exec {fd}>&-
  done
  echo "wine-com: all $ORTIVA_COM_SLOTS COM port slots are in use" >&2
  return 1
}

# com_pair_start LINE PEER: joins two new pseudo-terminals with socat and links
# them as COM<LINE> and COM<PEER>; returns once both links are there. socat
# keeps the line's terminal open itself, so the line may be closed and opened
# again; it waits for the peer to be opened (looking every 10 ms) and ends
# when the peer is closed: both links go 0.1 s later and the line is hung up,
# as a pulled adapter. A peer closed before socat saw it open (held for less
# than 10 ms or so) does not end it.
com_pair_start() {
  local line="$WINEPREFIX/dosdevices/com$1" peer="$WINEPREFIX/dosdevices/com$2" pid i
  com_exec socat -t 0.1 pty,raw,echo=0,link="$line" pty,raw,echo=0,wait-slave,pty-interval=0.01,link="$peer" \
    </dev/null >/dev/null 2>&1 &
  pid=$!
  ORTIVA_COM_SOCATS+=("$pid")
  ORTIVA_COM_LINKS+=("$line" "$peer")
  echo "$pid" >"$WINEPREFIX/ortiva-com/slot${ORTIVA_COM_TAKEN[-1]}.pid"
  for ((i = 0; i < 500; i++)); do
    [[ -L "$line" && -L "$peer" ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  echo "wine-com: socat did not link COM$1 and COM$2" >&2
  return 1
}

# Ends the socat processes started here, removes their links, frees the slots.
com_release() {
  local pid k fd
  for pid in "${ORTIVA_COM_SOCATS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${ORTIVA_COM_SOCATS[@]}"; do wait "$pid" 2>/dev/null || true; done
  for link in "${ORTIVA_COM_LINKS[@]}"; do rm -f "$link"; done
  for k in "${ORTIVA_COM_TAKEN[@]}"; do rm -f "$WINEPREFIX/ortiva-com/slot$k.pid"; done
  for fd in "${ORTIVA_COM_LOCK_FDS[@]}"; do exec {fd}>&-; done
  ORTIVA_COM_SOCATS=() ORTIVA_COM_LINKS=() ORTIVA_COM_TAKEN=() ORTIVA_COM_LOCK_FDS=()
}
