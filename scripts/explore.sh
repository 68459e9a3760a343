#!/usr/bin/env bash
# Plays the navigator program's explorer (navigator ROOT --explore SEED) with new random seeds for
# as long as asked, each on a fresh copy of the demo install in one of the languages, and keeps
# the script of every failing seed, which `navigator ROOT --script FILE --out DIR` replays on a
# fresh install of its language.
#   bash scripts/explore.sh [--seconds N] [--build DIR] [--languages L,L...] [--steps N]
#                           [--jobs N] [--out DIR] [--progress N]
# --seconds: how long new seeds are started (default 600); --build: the build folder (default
# build/release, read from the folder the script is started in); --languages: of german,
# english, french, spanish, italian, dutch (default all six), one after another; --steps: steps
# a seed (default 250); --jobs: seeds played at once (default 1); --out: where the failing
# scripts are kept (default <build>/explore-failures), each as <language>-<seed>.txt with the
# run's error output beside it (.err) and, for a failing frame, its picture and the whole repaint
# (<language>-<seed>-<frame>.png, -<frame>-whole.png); --progress: seconds between the lines that
# tell the seeds played, the steps (those of the seeds still playing too) and the failures so far
# (default 60). The installs and the runs lie in <build>/explore, one run at a time. Ctrl+C or
# SIGTERM ends it with the seeds that play, which are not kept, and prints the summary so far;
# the exit code is then 1 when a seed had failed, else 130 or 143.
set -euo pipefail
from_start() {
  case "$1" in
    /*) printf '%s' "$1" ;;
    *) printf '%s' "$PWD/$1" ;;
  esac
}
seconds=600
build=
languages=german,english,french,spanish,italian,dutch
steps=250
jobs=1
kept=
every=60
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --build) build="$(from_start "$2")"; shift 2 ;;
    --languages) languages="$2"; shift 2 ;;
    --steps) steps="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --out) kept="$(from_start "$2")"; shift 2 ;;
    --progress) every="$2"; shift 2 ;;
    *) echo "explore.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
for number in "$seconds" "$steps" "$jobs" "$every"; do
  case "$number" in
    '' | *[!0-9]* | 0)
      echo "explore.sh: --seconds, --steps, --jobs and --progress take numbers above 0" >&2
      exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
build="${build:-$PWD/build/release}"
kept="${kept:-$build/explore-failures}"
work="$build/explore"
# The "Language" of "RarUderad.ini" of each language.
language_number() {
  case "$1" in
    german) echo 0 ;; english) echo 1 ;; french) echo 3 ;; spanish) echo 4 ;;
    italian) echo 5 ;; dutch) echo 6 ;;
    *) echo "explore.sh: unknown language $1" >&2; exit 2 ;;
  esac
}
IFS=, read -r -a language_list <<< "$languages"
for language in "${language_list[@]}"; do language_number "$language" > /dev/null; done

# The demo install once, laid afresh, and a copy of it in each language.
mkdir -p "$work" "$kept"
# One run at a time in a build folder: another would lay its installs and runs over these, and
# its seeds' results would be counted here.
exec 9> "$work/explore.lock"
flock -n 9 || { echo "explore.sh: another run plays in $work" >&2; exit 1; }
bash scripts/install-demo.sh "$build" --out "$work/install" --fresh > "$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; exit 1; }
for language in "${language_list[@]}"; do
  rm -rf "$work/install-$language"
  cp -a "$work/install" "$work/install-$language"
  sed -i "s/^Language=0\r\$/Language=$(language_number "$language")\r/" \
    "$work/install-$language/RarUderad.ini"
  grep -q "^Language=$(language_number "$language")" "$work/install-$language/RarUderad.ini" ||
    { echo "explore.sh: cannot set the language in $work/install-$language" >&2; exit 1; }
done

# run SLOT LANGUAGE SEED: one seed on a fresh copy; a line "<seed> <language> <steps> <result>"
# into the slot's results, the script kept when it failed. While it plays, the slot's
# "playing-<slot>" names the seed. The seed plays in the background of the slot, whose stop (a
# SIGTERM, see slot_loop) ends it with a SIGTERM of its own: timeout puts it in a process group
# of its own, which a terminal's Ctrl+C does not reach.
run() {
  local slot="$1" language="$2" seed="$3" root="$work/run-$1" out="$work/out-$1" code=0 played
  rm -rf "$root" "$out"
  echo "$seed" > "$work/playing-$slot"
  cp -a "$work/install-$language" "$root"
  if [ -n "$stopping" ]; then
    rm -f "$work/playing-$slot"
    return
  fi
  timeout -k 10 900 "$root/navigator" "$root" --explore "$seed" --steps "$steps" --out "$out" \
    > "$out.log" 2>&1 &
  player=$!
  [ -z "$stopping" ] || stop_seed "$player"
  # A wait that the stop's trap cut short is taken up again until the seed has ended.
  wait "$player" || code=$?
  while kill -0 "$player" 2> /dev/null; do
    code=0
    wait "$player" || code=$?
  done
  if [ -n "$stopping" ]; then
    # Stopped, the slot ends after the seed's program: timeout may end before it.
    local tenths
    for (( tenths = 0; tenths < 150; tenths++ )); do
      seed_group_runs "$player" || break
      sleep 0.1
    done
    # Still there after 15 s: ended at once (the group, once empty, may be another's).
    ! seed_group_runs "$player" || kill -KILL -- "-$player" 2> /dev/null || true
  fi
  player=
  played="$(sed -n 's/^navigator: explored \([0-9]*\) steps.*/\1/p' "$out.log" | tail -n 1)"
  if [ -z "$played" ]; then
    # Ended without the summary (a crash, the timeout): the script's steps were played.
    played="$(grep -c '^step ' "$out/explore-$seed.txt" 2> /dev/null || true)"
  fi
  # A seed that the user or a signal from outside ended (not this script's time limit) says so
  # in its summary, and is no failure of the program; nor is one this script's stop ended with
  # its SIGTERM (before the program's handler was there, it says nothing). One that failed
  # before keeps its exit code 1.
  if [ "$code" -ne 0 ] && [ "$code" -ne 124 ] &&
    { { [ -n "$stopping" ] && [ "$code" -eq 143 ]; } ||
      grep -q '^navigator: explored [0-9]* steps from seed [0-9]*: ended by ' "$out.log"; }; then
    echo "explore.sh: $language seed $seed was ended from outside after ${played:-0} steps," \
      "not counted as a failure"
    code=0
  fi
  if [ "$code" -ne 0 ]; then
    local name="$kept/$language-$seed"
    cp "$out/explore-$seed.txt" "$name.txt" 2> /dev/null || : > "$name.txt"
    cp "$out.log" "$name.err"
    # A failing frame's picture and the whole repaint it was compared with.
    for picture in "$out"/*.png; do
      [ -e "$picture" ] && cp "$picture" "$name-$(basename "$picture")"
    done
    if [ "$code" -gt 128 ]; then
      printf '# crashed: signal %d\n' "$((code - 128))" >> "$name.txt"
    elif [ "$code" -eq 124 ] || [ "$code" -eq 137 ]; then
      printf '# %s\n' "$(hang_note "$code")" >> "$name.txt"
    fi
    echo "explore.sh: $language seed $seed failed (exit $code), kept as $name.txt"
  fi
  rm -f "$work/playing-$slot"
  echo "$seed $language ${played:-0} $code" >> "$work/results-$slot"
}

# stop_seed PID: a SIGTERM to the seed that timeout (PID) plays, and to timeout: to the process
# group timeout made (timeout does not always pass the signal on before it ends), or to timeout
# alone before it made one.
stop_seed() {
  kill -TERM -- "-$1" 2> /dev/null || kill -TERM "$1" 2> /dev/null || true
}

# seed_group_runs PID: whether a process of the group that timeout (PID) made runs yet.
seed_group_runs() {
  ps -e -o pgid=,stat= | awk -v group="$1" '$1 == group && $2 !~ /^Z/ { runs = 1 } END { exit !runs }'
}

# What a seed's exit code 124 or 137 (timeout's) says: the limit ran out, or the SIGTERM of this
# script's stop was not heeded within timeout's 10 s.
hang_note() {
  if [ "$1" -eq 137 ] && [ -n "$stopping" ]; then
    echo "did not end within 10 s of the SIGTERM that stopped the run"
  else
    echo "did not end within 900 s"
  fi
}

# One line of the progress so far: the seeds that ended, the steps of those and of the seeds
# still playing (the steps their scripts hold so far), the seeds that failed.
tell_progress() {
  local seeds=0 count=0 failed=0 seed language played code playing
  while read -r seed language played code; do
    seeds=$((seeds + 1))
    count=$((count + played))
    [ "$code" -eq 0 ] || failed=$((failed + 1))
  done < <(cat "$work"/results-* 2> /dev/null)
  for playing in "$work"/playing-*; do
    seed="$(cat "$playing" 2> /dev/null)" || continue
    played="$(grep -c '^step ' "$work/out-${playing##*-}/explore-$seed.txt" 2> /dev/null)" ||
      played=0
    count=$((count + played))
  done
  echo "explore.sh: $((SECONDS - start)) s: $seeds seeds played, $count steps, $failed failed"
}

# A progress line every --progress seconds until killed; its sleep holds neither the output nor
# the lock, and goes with it.
progress_loop() {
  local sleeper=
  trap '' INT
  trap '[ -z "$sleeper" ] || kill "$sleeper" 2> /dev/null; exit 0' TERM
  for (( ; ; )); do
    sleep "$every" > /dev/null 2>&1 9>&- &
    sleeper=$!
    wait "$sleeper" || true
    tell_progress
  done
}

# Each slot plays seeds one after another, the languages in turn, until the time is up: at least
# one, whenever it first looks at the clock. A SIGTERM stops it: the seed playing is ended and no
# other is started.
slot_loop() {
  local slot="$1" index="$1" language seed played_one=
  # The terminal's SIGINT is the top shell's to take (this shell's trap of it does not hold here).
  trap '' INT
  trap 'stopping=1; [ -z "$player" ] || stop_seed "$player"' TERM
  while [ -z "$stopping" ] && { [ -z "$played_one" ] || [ $((SECONDS - start)) -lt "$seconds" ]; }; do
    language="${language_list[$((index % ${#language_list[@]}))]}"
    seed=$(( $(od -An -N4 -tu4 /dev/urandom) ))
    run "$slot" "$language" "$seed"
    played_one=1
    index=$((index + jobs))
  done
}

rm -f "$work"/results-* "$work"/playing-*
start=$SECONDS
stopping=
player=
slots=()
# Ctrl+C (SIGINT to the terminal's foreground job, which the slots, as background jobs of this
# shell, ignore) and SIGTERM stop the slots with the seeds they play; the summary then tells
# what was played so far.
stop() {
  stopping="$1"
  echo "explore.sh: $1: ending the seeds that play" >&2
  kill -TERM "${slots[@]}" 2> /dev/null || true
}
trap 'stop SIGINT' INT
trap 'stop SIGTERM' TERM
for slot in $(seq 1 "$jobs"); do
  slot_loop "$slot" &
  slots+=("$!")
done
progress_loop &
ticker=$!
# A wait that a signal's trap cut short is taken up again until every slot has ended.
for slot in "${slots[@]}"; do
  while kill -0 "$slot" 2> /dev/null; do
    wait "$slot" || true
  done
done
kill "$ticker" 2> /dev/null || true
wait "$ticker" 2> /dev/null || true

seeds=0
played=0
failures=()
while read -r seed language count code; do
  seeds=$((seeds + 1))
  played=$((played + count))
  if [ "$code" -ne 0 ]; then
    # A killed or crashed seed's error output may hold no line but the explorer's own: its
    # kept script's last line (the crash or timeout note) says why.
    # A seed that hung was ended by timeout's SIGTERM, which its error output tells as any
    # other: the kept script's note of the hang is the reason.
    reason=
    if [ "$code" -eq 124 ] || [ "$code" -eq 137 ]; then
      reason="$(sed -n '$s/^# //p' "$kept/$language-$seed.txt" 2> /dev/null || true)"
    else
      reason="$(grep -v '^navigator: explored' "$kept/$language-$seed.err" 2> /dev/null |
        tail -n 1 || true)"
    fi
    [ -n "$reason" ] || reason="$(tail -n 1 "$kept/$language-$seed.txt" 2> /dev/null || true)"
    [ -n "$reason" ] || reason="no error output"
    failures+=("$language seed $seed (exit $code): $reason")
  fi
done < <(cat "$work"/results-* 2> /dev/null)
echo "explore.sh: $seeds seeds, $played steps in $((SECONDS - start)) s; ${#failures[@]} failed" \
  "(scripts in $kept, each replayed on a fresh $work/install-<language>)"
for failure in "${failures[@]}"; do
  echo "  $failure"
done
# A failure found before a stop stays the run's result; a run stopped without one ends with the
# stop's code, as the shell reports a program that such a signal ended.
[ "${#failures[@]}" -eq 0 ] || exit 1
case "$stopping" in
  SIGINT) exit 130 ;;
  SIGTERM) exit 143 ;;
esac
