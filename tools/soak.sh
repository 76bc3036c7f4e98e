#!/usr/bin/env bash
# The soak: the program with its real window (xcb under Xvfb) monitoring over the tty backend, against the
# simulated pack served on a pseudo-terminal (quvexa_ptypack), one program and one terminal per carrier, all at
# once: UR74, UR96, UR2, CAN, and CAN with a saturated bus (2,000 frames/s). While they run, busy threads load
# every core. A carrier whose run sends no request for 5 s has every thread's stack written (gdb) and fails.
#
#   tools/soak.sh <build folder> <minutes> [carrier...]     carriers: ur74 ur96 ur2 can can2000 (default all)
#   tools/soak.sh --cpu <build folder> <seconds>            the real path's CPU, idle and loaded: "row|" lines
#                                                           for ./dev bench's table
# QV_SOAK_OUT: the folder of the runs' files (default <build folder>/soak/<date>); QV_SOAK_NICE: the niceness of
# the load (default 0: the program's own).
set -uo pipefail

cpu_only=0
if [ "${1:-}" = "--cpu" ]; then cpu_only=1; shift; fi
build="$(cd "${1:?usage: tools/soak.sh <build folder> <minutes> [carrier...]}" && pwd)"
amount="${2:?usage: tools/soak.sh <build folder> <minutes> [carrier...]}"
shift 2
carriers=("$@")
[ ${#carriers[@]} -eq 0 ] && carriers=(ur74 ur96 ur2 can can2000)
out="${QV_SOAK_OUT:-$build/soak/$(date -u +%Y%m%d-%H%M%S)}"
mkdir -p "$out"
nice_load="${QV_SOAK_NICE:-0}"
server_nice=()
nice -n -10 true 2>/dev/null && server_nice=(nice -n -10)

pids_to_end=()
xvfb_pid=""
end_all() {
  local p
  for p in "${pids_to_end[@]}"; do kill "$p" 2>/dev/null; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap end_all EXIT
trap 'exit 130' INT TERM

# One X server for every program.
Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp >"$out/xvfb.display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/xvfb.display" ] && break; sleep 0.1; done
if [ ! -s "$out/xvfb.display" ]; then echo "soak: Xvfb did not start (see $out/xvfb.log)" >&2; exit 1; fi
export DISPLAY=":$(head -1 "$out/xvfb.display")"
export QT_QPA_PLATFORM=xcb

load_pids=()
start_load() {
  local n i
  n="$(nproc)"
  for i in $(seq "$n"); do
    nice -n "$nice_load" bash -c 'while :; do :; done' &
    load_pids+=($!)
    pids_to_end+=($!)
  done
}
stop_load() {
  local p
  for p in "${load_pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  load_pids=()
}

# run_carrier NAME SECONDS DIR: the pack server and the program of one carrier, to the end; prints nothing.
run_carrier() {
  local name="$1" seconds="$2" dir="$3" setup protocol rate=()
  mkdir -p "$dir"
  case "$name" in
    ur74|ur96|ur2) setup="$name"; protocol=UR ;;
    can) setup=can; protocol=CAN ;;
    can2000) setup=can; protocol=CAN; rate=(--can-rate 2000) ;;
    *) echo "soak: no carrier $name" >&2; return 2 ;;
  esac
  rm -f "$dir/program.pid" "$dir/stacks.txt" "$dir/pack.stats" "$dir/program.stats"
  # The server stands for the adapter and the pack, which no load on the PC delays: ahead of the load where the
  # machine allows it.
  ${server_nice[@]+"${server_nice[@]}"} "$build/quvexa_ptypack" "$setup" "$dir/tty" "${rate[@]}" --stats "$dir/pack.stats" --pid-file "$dir/program.pid" \
    --stacks "$dir/stacks.txt" --stall 5 >"$dir/pack.log" 2>&1 &
  local server=$!
  for _ in $(seq 100); do [ -e "$dir/tty" ] && break; sleep 0.05; done
  QUVEXA_ADAPTER="tty:$dir/tty" "$build/quvexa_soakrun" "$dir" "$protocol" "$seconds" --stats "$dir/program.stats" \
    --server-pid "$server" >"$dir/program.log" 2>&1 &
  local program=$!
  echo "$program" >"$dir/program.pid"
  # Whichever ends first: the program at its time, or the server at a stall (after the stacks are written).
  while kill -0 "$program" 2>/dev/null && kill -0 "$server" 2>/dev/null; do sleep 0.5; done
  local program_status=0 server_status=0
  if kill -0 "$program" 2>/dev/null; then
    kill -9 "$program" 2>/dev/null
    wait "$program"; program_status=$?
    wait "$server"; server_status=$?
  else
    wait "$program"; program_status=$?
    sleep 0.5
    kill "$server" 2>/dev/null
    wait "$server"; server_status=$?
  fi
  echo "program_status=$program_status server_status=$server_status" >"$dir/status"
}

field() { sed -n "s/.*\\b$2=\\([^ ]*\\).*/\\1/p" "$1" 2>/dev/null | head -1; }

# summary NAME DIR: one line of figures; false when the carrier stalled or failed.
summary() {
  local name="$1" dir="$2" ok=1
  local ps pst
  ps="$(field "$dir/status" program_status)"; pst="$(field "$dir/status" server_status)"
  local requests gap sent lost taken quietTaken notices maxrx backlog prog proc window
  requests="$(field "$dir/pack.stats" requests)"; gap="$(field "$dir/pack.stats" longest_gap_s)"
  sent="$(field "$dir/pack.stats" can_frames_sent)"; lost="$(field "$dir/pack.stats" lost_frames)"
  backlog="$(field "$dir/pack.stats" max_backlog_bytes)"
  taken="$(field "$dir/program.stats" can_frames_taken)"; quietTaken="$(field "$dir/program.stats" can_frames_taken_at_quiet)"
  notices="$(field "$dir/program.stats" can_loss_notices)"; maxrx="$(field "$dir/program.stats" max_rx_queue_bytes)"
  local meanrx; meanrx="$(field "$dir/program.stats" mean_rx_queue_bytes)"
  prog="$(field "$dir/program.stats" program_percent)"; proc="$(field "$dir/program.stats" process_percent)"
  window="$(field "$dir/program.stats" window_s)"
  [ "$pst" = 3 ] && ok=0
  [ "$ps" = 0 ] || ok=0
  local verdict="ok"
  [ "$pst" = 3 ] && verdict="STALL (stacks: $dir/stacks.txt)"
  [ "$ok" = 0 ] && [ "$pst" != 3 ] && verdict="FAILED (see $dir/program.log, $dir/pack.log)"
  local canpart=""
  if [[ "$name" == can* ]]; then
    canpart=" CAN frames sent ${sent:-?} lost in the adapter ${lost:-?} taken ${taken:-?} (not taken $(( ${sent:-0} - ${lost:-0} - ${taken:-0} ))) loss notices ${notices:-?}; backlog max: port ${backlog:-?} B, program queue ${maxrx:-?} B (mean ${meanrx:-?} B)"
  fi
  printf '%-8s %s: requests %s, longest gap %s s;%s; CPU program %s %% (process %s %%) over %s s\n' \
    "$name" "$verdict" "${requests:-?}" "${gap:-?}" "$canpart" "${prog:-?}" "${proc:-?}" "${window:-?}"
  [ "$ok" = 1 ]
}

# The program's busiest threads: "name percent, ..." (a name may hold blanks).
threads_of() {
  grep '^thread ' "$1/program.stats" 2>/dev/null | awk '{ p = $NF; $NF = ""; $1 = ""; sub(/^ /, ""); sub(/ $/, ""); print p "\t" $0 }' |
    sort -t$'\t' -k1,1 -nr | head -6 | awk -F'\t' '{ printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1 }'
}

if [ "$cpu_only" = 1 ]; then
  # The real path's CPU: every carrier at once, first on the machine as it is, then with every core loaded.
  for phase in idle loaded; do
    [ "$phase" = loaded ] && start_load
    jobs_=()
    for c in "${carriers[@]}"; do run_carrier "$c" "$amount" "$out/$phase/$c" & jobs_+=($!); done
    for j in "${jobs_[@]}"; do wait "$j"; done
    [ "$phase" = loaded ] && stop_load
    for c in "${carriers[@]}"; do
      d="$out/$phase/$c"
      target=0.5; [[ "$c" == can* ]] && target=1.5
      prog="$(field "$d/program.stats" program_percent)"
      printf 'row|real path %s %s|%s s|-|-|< %s %%|program %s %% < %s %% (%s)\n' "$c" "$phase" \
        "$(field "$d/program.stats" window_s)" "$target" "${prog:-?}" "$target" "$(threads_of "$d")"
    done
  done
  exit 0
fi

seconds=$(( amount * 60 ))
echo "soak: ${carriers[*]} for $amount min each, at once, every core loaded (nice $nice_load); files in $out"
start_load
( while :; do echo "$(date -u +%H:%M:%S) $(cut -d' ' -f1-3 /proc/loadavg)"; sleep 60; done ) >"$out/loadavg.log" &
pids_to_end+=($!)
jobs_=()
for c in "${carriers[@]}"; do run_carrier "$c" "$seconds" "$out/$c" & jobs_+=($!); done
for j in "${jobs_[@]}"; do wait "$j"; done
stop_load
echo "load average (1, 5, 15 min) each minute: $(awk '{print $2}' "$out/loadavg.log" | tr '\n' ' ')"
failed=0
for c in "${carriers[@]}"; do
  summary "$c" "$out/$c" || failed=1
  echo "         threads: $(threads_of "$out/$c")"
done
[ "$failed" = 0 ] && echo "soak: no stall" || echo "soak: FAILED"
exit "$failed"
