#!/usr/bin/env bash
# Ten starts at the same moment: exactly one copy stays running, with one tray
# icon; the others end at once and quietly. Then the same again with the
# survivor killed hard, so the race is for a lock left behind by a dead process.
# The lock is the user's alone: a file of that name in /tmp, made by someone
# else, changes nothing, and a lock folder that is not the user's is said so.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/reliability_lib.sh"

e2e_start_x 1024x768
wait_for 10 e2e_tray_ready || fail "icewm's tray has no owner"
cp "$MORVANE_BIN" "$APPDIR/morvane"

tray_icons() {
  local w n=0 g
  for w in $(xdotool search --onlyvisible --classname morvane 2>/dev/null); do
    g=$(xdotool getwindowgeometry "$w" 2>/dev/null | awk '/Geometry/ {print $2}')
    [ -n "$g" ] && [ "${g%x*}" -le 64 ] && [ "${g#*x}" -le 64 ] && n=$((n + 1))
  done
  echo "$n"
}

race() { # round
  local pids=() p alive=() i
  # Released together: every copy waits on the same file before it starts.
  local gate=$E2E_ROOT/gate.$1
  for i in $(seq 10); do
    (cd "$APPDIR" && while [ ! -e "$gate" ]; do sleep 0.005; done &&
      exec ./morvane >"$E2E_ROOT/morvane.$1.$i.log" 2>&1) &
    pids+=($!)
    E2E_PIDS+=($!)
  done
  sleep 0.3
  touch "$gate"
  # The nine losers end by themselves, quickly and with status 0.
  local end=$((SECONDS + 10))
  while [ $SECONDS -lt $end ]; do
    alive=()
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive+=("$p"); done
    [ ${#alive[@]} -le 1 ] && break
    sleep 0.05
  done
  [ ${#alive[@]} -eq 1 ] || fail "round $1: ${#alive[@]} copies are running"
  for p in "${pids[@]}"; do
    [ "$p" = "${alive[0]}" ] && continue
    wait "$p" || fail "round $1: a second copy ended with status $?"
  done
  MORVANE_PID=${alive[0]}
  e2e_wait_tray_icon 10 || fail "round $1: no tray icon"
  sleep 0.5 # a late second icon would show up by now
  [ "$(tray_icons)" = 1 ] || fail "round $1: $(tray_icons) tray icons"
  e2e_alive || fail "round $1: the survivor ended"
}

race 1
{
  kill -9 "$MORVANE_PID"
  wait "$MORVANE_PID"
} 2>/dev/null
e2e_wait_no_tray_icon 10 || fail "the killed copy's icon stayed"
race 2
[ "$(stat -c %a "$XDG_RUNTIME_DIR/morvane.lock")" = 600 ] || fail "the lock is not the user's alone"
kill "$MORVANE_PID"
e2e_wait_exit 10

# No runtime folder: another user's file where a shared lock would be is ignored,
# the lock goes into the user's closed config folder.
# A temporary folder of the test's own stands in for /tmp.
mkdir -p "$E2E_ROOT/tmp" && chmod 1777 "$E2E_ROOT/tmp"
shared=$E2E_ROOT/tmp/morvane-$(id -un).lock
touch "$shared" && chown nobody "$shared" && chmod 644 "$shared"
e2e_start_with_icon -u XDG_RUNTIME_DIR TMPDIR="$E2E_ROOT/tmp"
[ "$(stat -c %a "$XDG_CONFIG_HOME/morvane")" = 700 ] || fail "the lock's folder is open to others"
[ "$(stat -c %a "$XDG_CONFIG_HOME/morvane/morvane.lock")" = 600 ] || fail "no private lock"
kill "$MORVANE_PID"
e2e_wait_exit 10

# That folder a link to somewhere else: one line names it, and the start fails.
rm -rf "$XDG_CONFIG_HOME/morvane"
mkdir -p "$E2E_ROOT/elsewhere" && ln -s "$E2E_ROOT/elsewhere" "$XDG_CONFIG_HOME/morvane"
e2e_start_morvane -u XDG_RUNTIME_DIR TMPDIR="$E2E_ROOT/tmp"
e2e_wait_exit 10
rc=$?
[ "$rc" = 1 ] || fail "a lock folder that is a link: status $rc"
[ "$(grep -c "morvane: .*$XDG_CONFIG_HOME/morvane" "$E2E_ROOT/morvane.log")" = 1 ] ||
  fail "the lock's folder was not named: $(cat "$E2E_ROOT/morvane.log")"
pass "one running copy and one tray icon out of ten starts, twice; the lock is the user's alone"
