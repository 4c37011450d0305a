#!/bin/sh
# Runs every menu command that `corvane install-services` declares the way its file manager runs it,
# on a private session bus with D-Bus activation, and checks that each request reaches the provider
# with its command string and folders intact.
#
#   tests/app/menu-actions-test.sh PATH-OF-CORVANE
#
# Exit status 77 (skipped) when dbus-daemon is missing.
set -eu

program=$1
command -v dbus-daemon >/dev/null 2>&1 || { echo "SKIP: dbus-daemon is not installed"; exit 77; }

work=$(mktemp -d)
bus_pid=
cleanup() {
  [ -z "$bus_pid" ] || { kill "$bus_pid" 2>/dev/null; wait "$bus_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home"
export XDG_DATA_HOME="$HOME/data" XDG_CONFIG_HOME="$HOME/config" XDG_CONFIG_DIRS="$work/etc" XDG_RUNTIME_DIR="$HOME"
mkdir -p "$XDG_DATA_HOME/dbus-1/services" "$work/bus" "$work/files"
cat >"$work/bus/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$XDG_DATA_HOME/dbus-1/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
# The provider that the bus starts writes its log lines to the bus's standard error.
log="$work/bus/log"
dbus-daemon --config-file="$work/bus/bus.conf" --nofork --print-address=3 3>"$work/bus/address" 2>"$log" &
bus_pid=$!
tries=0
until [ -s "$work/bus/address" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 500 ] || { echo "FAIL: dbus-daemon did not start"; exit 1; }
  sleep 0.02
done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus/address")
export DBUS_SESSION_BUS_ADDRESS

"$program" install-services >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A fresh folder per request, its name with a blank and a quote as users' folders have them.
count=0
new_folder() {
  count=$((count + 1))
  folder="$work/files/it's folder $count"
  mkdir -p "$folder"
  echo text >"$folder/note.txt"
  touch -m -d '2001-02-03 12:00' "$folder/note.txt"
}

# What a command leaves in the folder besides the note; empty where the outcome depends on the file
# system (creation dates need birth times).
expected_folder() {
  case "$1" in
    "Aggregate Files by Extension") echo "txt" ;;
    "Aggregate Files by File Type") echo "TEXT" ;;
    "Aggregate Files by Mime Type") echo "text:plain" ;;
    "Aggregate Files by Modification Date"*) echo "2001" ;;
    *) echo "" ;;
  esac
}

# $1: the file manager, $2: the command string it was declared for, $3: the folder it was run on.
check() {
  grep -q "Aggregating folder $(basename "$3")\$" "$log" || { fail "$1, $2: the request did not arrive"; return; }
  grep -q "Unsupported command" "$log" && fail "$1, $2: the command string arrived damaged"
  want=$(expected_folder "$2")
  [ -z "$want" ] || [ -d "$3/$want" ] || fail "$1, $2: no '$want' folder in $3"
}

key_value() { sed -n "s/^$1=//p" | sed 's/\\\\/\\/g'; }

# Each runner takes what its file manager read from the declaration, then the selected folders.

# GNOME Files: the script runs in the shown folder with the selected names as its arguments.
run_gnome() {
  script=$1
  shift
  (cd "$(dirname -- "$1")" && for path do shift; set -- "$@" "$(basename -- "$path")"; done && "$script" "$@")
}

# Nemo: %F becomes each path in double quotes (Quote=double), then the line is split as a shell would.
run_nemo() {
  exec_line=$(key_value Exec <"$1")
  shift
  selection=
  for path do selection="$selection \"$path\""; done
  line="${exec_line%%\%F*}${selection# }${exec_line#*%F}"
  (cd / && eval "set -- $line" && "$@")
}

# Thunar: %F becomes each path through g_shell_quote, and /bin/sh -c runs the line.
quoted_for_thunar() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
run_thunar() {
  command_line=$1
  shift
  selection=
  for path do selection="$selection $(quoted_for_thunar "$path")"; done
  line="${command_line%%\%F*}${selection# }${command_line#*%F}"
  (cd / && /bin/sh -c "$line")
}

# Dolphin: the words before %F as the Exec key quotes them, then each selected path as an argument.
run_dolphin() {
  words=${1%%\%F*}
  shift
  (cd / && eval "set -- $words \"\$@\"" && "$@")
}

for script in "$XDG_DATA_HOME/nautilus/scripts/Corvane/"*; do
  new_folder
  run_gnome "$script" "$folder"
  check "GNOME Files" "$(basename "$script")" "$folder"
done
new_folder
first=$folder
new_folder
run_gnome "$XDG_DATA_HOME/nautilus/scripts/Corvane/Aggregate Files by Extension" "$first" "$folder"
check "GNOME Files, two folders" "Aggregate Files by Extension" "$first"
check "GNOME Files, two folders" "Aggregate Files by Extension" "$folder"

for action in "$XDG_DATA_HOME/nemo/actions/"corvane-*.nemo_action; do
  new_folder
  run_nemo "$action" "$folder"
  check "Nemo" "$(key_value Name <"$action")" "$folder"
done

sed -n 's:.*<command>\(.*\)</command>.*:\1:p' "$XDG_CONFIG_HOME/Thunar/uca.xml" |
  sed -e 's/&lt;/</g' -e 's/&gt;/>/g' -e "s/&apos;/'/g" -e 's/&quot;/"/g' -e 's/&amp;/\&/g' >"$work/thunar-commands"
[ "$(wc -l <"$work/thunar-commands")" -eq 7 ] || fail "Thunar: uca.xml does not hold seven commands"
while IFS= read -r command_line; do
  new_folder
  run_thunar "$command_line" "$folder"
  declared=$(printf '%s' "$command_line" | sed -n "s/.* request '\(.*\)' -- %F\$/\1/p")
  [ -n "$declared" ] || fail "Thunar: no command string before the selection in $command_line"
  check "Thunar" "$declared" "$folder"
done <"$work/thunar-commands"

desktop="$XDG_DATA_HOME/kio/servicemenus/corvane.desktop"
[ -x "$desktop" ] || fail "Dolphin: the service menu is not executable"
key_value Exec <"$desktop" >"$work/dolphin-commands"
key_value Name <"$desktop" | tail -n +2 >"$work/dolphin-names"
[ "$(wc -l <"$work/dolphin-commands")" -eq 7 ] || fail "Dolphin: the service menu does not hold seven actions"
exec 4<"$work/dolphin-names"
while IFS= read -r exec_line; do
  IFS= read -r name <&4
  new_folder
  run_dolphin "$exec_line" "$folder"
  check "Dolphin" "$name" "$folder"
done <"$work/dolphin-commands"
exec 4<&-

# Folders named like options, selected together in the folder shown: GNOME Files hands them over as
# "-x" and "--help", which must reach the provider as folders.
by_extension="Aggregate Files by Extension"
for file_manager in "GNOME Files" Nemo Thunar Dolphin; do
  count=$((count + 1))
  shown="$work/files/options $count"
  for name in -x --help; do
    mkdir -p "$shown/$name"
    echo text >"$shown/$name/note.txt"
  done
  case "$file_manager" in
    "GNOME Files") run_gnome "$XDG_DATA_HOME/nautilus/scripts/Corvane/$by_extension" "$shown/-x" "$shown/--help" ;;
    Nemo) run_nemo "$XDG_DATA_HOME/nemo/actions/corvane-aggregate-files-by-extension.nemo_action" \
      "$shown/-x" "$shown/--help" ;;
    Thunar) run_thunar "$(grep -F "'$by_extension'" "$work/thunar-commands")" "$shown/-x" "$shown/--help" ;;
    Dolphin) run_dolphin "$(grep -F "\"$by_extension\"" "$work/dolphin-commands")" "$shown/-x" "$shown/--help" ;;
  esac || fail "$file_manager: the request on folders named -x and --help failed"
  for name in -x --help; do
    [ -f "$shown/$name/txt/note.txt" ] || fail "$file_manager: the folder named $name was not tidied"
  done
done

[ "$failures" -eq 0 ] || { echo "$failures failures; the provider's log:"; cat "$log"; exit 1; }
echo "PASS: $count folders tidied through the menu commands of four file managers"
