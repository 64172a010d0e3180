#!/usr/bin/env bash
# Runs a command on a virtual X server of its own and returns the command's status.
# Keyboard focus and window activation are global to an X display, so window tests that
# run in parallel each get a display; Xvfb picks a free display number itself.
set -uo pipefail
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/log" &
server=$!
child=
stop() {
  [[ -n "$child" ]] && kill "$child" 2>/dev/null
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 143' TERM INT
for _ in $(seq 1200); do
  [[ -s "$work/display" ]] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$work/log" >&2
    exit 1
  fi
  sleep 0.05
done
if [[ ! -s "$work/display" ]]; then
  echo "Xvfb did not start within 60 s" >&2
  exit 1
fi
# Qt's own dialogs keep their history in the user's configuration: the tests' go to a
# folder of their own.
mkdir -p "$work/config"
DISPLAY=":$(head -n 1 "$work/display")" XDG_CONFIG_HOME="$work/config" "$@" &
child=$!
wait "$child"
status=$?
child=
exit "$status"
