#!/usr/bin/env bash
# The program installed into a temporary prefix whose bin/ is read-only:
# every file is where the desktop expects it, the program starts from there,
# saves into $XDG_CONFIG_HOME/replyvane (folder 0700, files 0600) and reads
# that back at the next start.
#
# Mode bits do not stop root, and CI runs as root: then the program runs as
# the unprivileged user "nobody" (setpriv), for whom bin/ really is
# read-only, so the program's own writability probe is what is tested.
#
#   installed_program_test.sh BUILD_DIR
set -euo pipefail
build=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/replyvane-install-XXXXXX")
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill -KILL "$program_pid" 2>/dev/null || true
  fi
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
  { cat "$tmp/install.log" >&2; fail "cmake --install"; }

# Everything in its place.
for file in bin/replyvane libexec/replyvane/replyvane-window share/applications/replyvane.desktop \
  share/man/man1/replyvane.1.gz share/doc/replyvane/copyright \
  share/doc/replyvane/changelog.gz lib/systemd/user/replyvane-check.service \
  lib/systemd/user/replyvane-check.timer lib/systemd/user/replyvane-watch.service; do
  [ -f "$prefix/$file" ] || fail "$file not installed"
done
[ -x "$prefix/bin/replyvane" ] || fail "bin/replyvane not executable"
[ -x "$prefix/libexec/replyvane/replyvane-window" ] ||
  fail "libexec/replyvane/replyvane-window not executable"
# The unattended check loads no window toolkit.
if ldd "$prefix/bin/replyvane" | grep -q libQt; then
  fail "bin/replyvane links Qt"
fi
for size in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/replyvane.png
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$width x $height" = "$size x $size" ] ||
    fail "${size}x${size} icon is $width x $height"
done
desktop-file-validate "$prefix/share/applications/replyvane.desktop" ||
  fail "desktop-file-validate"
grep -qx "ExecStart=$prefix/bin/replyvane --check" \
  "$prefix/lib/systemd/user/replyvane-check.service" ||
  fail "the service does not start the installed program"
grep -qx "ExecStart=$prefix/bin/replyvane --watch" \
  "$prefix/lib/systemd/user/replyvane-watch.service" ||
  fail "the watch service does not start the installed program"
if command -v systemd-analyze >/dev/null; then
  (cd "$prefix/lib/systemd/user" &&
    MANPATH=$prefix/share/man timeout 60 systemd-analyze verify \
      replyvane-check.service replyvane-check.timer replyvane-watch.service) ||
    fail "systemd-analyze verify"
fi
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 timeout 60 man --warnings -l \
    "$prefix/share/man/man1/replyvane.1.gz" 2>&1 >/dev/null) || true
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
fi

# The user the program runs as, and a home of its own.
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  "${run_as[@]}" true || fail "cannot run as nobody to test a read-only bin/"
  chown 65534:65534 "$tmp"
fi
chmod 0755 "$tmp"
chmod 0555 "$prefix/bin"
config=$tmp/config
mkdir "$tmp/runtime"
chmod 0700 "$tmp/runtime"
[ "$(id -u)" -ne 0 ] || chown 65534:65534 "$tmp/runtime"

# Starts the installed program, waits until it catches SIGTERM (the close
# from outside), sends it and waits for the program to end.
run_and_close() {
  "${run_as[@]}" env HOME="$tmp" XDG_CONFIG_HOME="$config" \
    XDG_RUNTIME_DIR="$tmp/runtime" QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/replyvane" >>"$tmp/program.log" 2>&1 &
  program_pid=$!
  local ready=""
  for _ in $(seq 600); do
    local caught
    caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$program_pid/status" \
      2>/dev/null) || true
    # SIGTERM is signal 15: bit 14 of the mask.
    if [ -n "$caught" ] && (((0x$caught >> 14) & 1)); then
      ready=1
      break
    fi
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$ready" ] || { cat "$tmp/program.log" >&2; fail "program did not start"; }
  kill -TERM "$program_pid"
  local status=0
  for _ in $(seq 600); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null &&
    { cat "$tmp/program.log" >&2; fail "program did not close"; }
  wait "$program_pid" || status=$?
  program_pid=""
  [ "$status" -eq 0 ] ||
    { cat "$tmp/program.log" >&2; fail "program exited with $status"; }
}

mode_of() { stat -c %a "$1"; }

run_and_close
folder=$config/replyvane
[ "$(mode_of "$config")" = 700 ] || fail "$config has mode $(mode_of "$config")"
[ "$(mode_of "$folder")" = 700 ] || fail "$folder has mode $(mode_of "$folder")"
for file in Settings.ini response.dat attach.dat; do
  [ -f "$folder/$file" ] || fail "$file not saved in $folder"
  [ "$(mode_of "$folder/$file")" = 600 ] ||
    fail "$file has mode $(mode_of "$folder/$file")"
done
[ "$(ls -A "$prefix/bin")" = replyvane ] || fail "something was written into bin/"

# Values put into the files between the runs come back from the second
# close only when the second start read them.
# Rewritten in place, so the files keep their owner and mode.
sed 's/^1=\r$/1=smtp.changed.example\r/; s/^5=\r$/5=15\r/' \
  "$folder/Settings.ini" >"$tmp/Settings.ini"
cat "$tmp/Settings.ini" >"$folder/Settings.ini"
grep -q $'^1=smtp.changed.example\r$' "$folder/Settings.ini" ||
  fail "could not change Settings.ini: $(cat -A "$folder/Settings.ini")"
printf 'Back soon.\r\nJo' >"$folder/response.dat"
run_and_close
grep -q $'^1=smtp.changed.example\r$' "$folder/Settings.ini" ||
  fail "SMTP host not read back: $(cat -A "$folder/Settings.ini")"
grep -q $'^5=15\r$' "$folder/Settings.ini" ||
  fail "interval not read back: $(cat -A "$folder/Settings.ini")"
[ "$(cat "$folder/response.dat")" = $'Back soon.\r\nJo' ] ||
  fail "response text not read back: $(cat -A "$folder/response.dat")"
# A bin/ its user may write (root's /usr/bin, or a prefix of one's own) is
# no settings folder either: only a folder that already holds a
# Settings.ini or the marker file replyvane.portable is a portable copy's.
writable=$tmp/writable
cmake --install "$build" --prefix "$writable" >>"$tmp/install.log" ||
  fail "cmake --install into a writable prefix"
chmod 0700 "$writable/bin"
own_config=$tmp/own-config
env HOME="$tmp" XDG_CONFIG_HOME="$own_config" "$writable/bin/replyvane" \
  --check >"$tmp/own.log" 2>&1 && fail "a check without settings succeeded"
grep -q "No settings in $own_config/replyvane/Settings.ini" "$tmp/own.log" ||
  fail "the settings were not looked for in XDG: $(cat "$tmp/own.log")"
[ "$(ls -A "$writable/bin")" = replyvane ] ||
  fail "something was written into a writable bin/: $(ls -A "$writable/bin")"
# Marked as a portable copy, the same folder keeps the settings beside it.
touch "$writable/bin/replyvane.portable"
env HOME="$tmp" XDG_CONFIG_HOME="$own_config" "$writable/bin/replyvane" \
  --check >"$tmp/own.log" 2>&1 && fail "a check without settings succeeded"
grep -q "No settings in $writable/bin/Settings.ini" "$tmp/own.log" ||
  fail "the portable copy's settings were not looked for beside it: $(cat "$tmp/own.log")"
echo "PASS"
