# Sourced by the bench scripts: the Wine prefix of the build folder, a display and a pinned locale.
# bench_start_display, bench_prepare and bench_mount_faults set up; bench_down stops all of it.

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ZEMBROLITE_BUILD=${ZEMBROLITE_BUILD:-$bench_root/build}

# Zembrolite ships as a 32-bit and a 64-bit edition. The bench runs the build the host can run:
# the 32-bit one with Wine's 32-bit loader, or, on a host whose kernel runs no 32-bit code (IA-32
# emulation off), the 64-bit one (ZEMBROLITE_BENCH_BUILD) with Wine's 64-bit loader and 64-bit
# TWAIN manager. Wine is called only through $WINE and $WINESERVER: Debian's bare launchers pick
# the 32-bit loader whenever wine32 is installed, which fails on such a host.
if [ -z "${ZEMBROLITE_BENCH_ARCH:-}" ]; then
  if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
    ZEMBROLITE_BENCH_ARCH=win32
  else
    ZEMBROLITE_BENCH_ARCH=win64
  fi
fi
export ZEMBROLITE_BENCH_ARCH
# The 64-bit server serves the programs of both loaders.
export WINESERVER=/usr/lib/wine/wineserver64
if [ "$ZEMBROLITE_BENCH_ARCH" = win64 ]; then
  export ZEMBROLITE_BENCH_BUILD=$ZEMBROLITE_BUILD/x64
  export WINEPREFIX=${WINEPREFIX:-$ZEMBROLITE_BUILD/wineprefix64}
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  # Wine's 64-bit manager looks at c:\windows\twain_64\sane.ds (and gphoto2.ds) only.
  bench_twain_folder=twain_64
else
  export ZEMBROLITE_BENCH_BUILD=$ZEMBROLITE_BUILD
  export WINEPREFIX=${WINEPREFIX:-$ZEMBROLITE_BUILD/wineprefix}
  export WINEARCH=win32
  export WINELOADER=/usr/lib/wine/wine
  # Wine's 32-bit manager looks for data sources at c:\windows\twain_32\sane.ds (and gphoto2.ds) only.
  bench_twain_folder=twain_32
fi
export WINE=$WINELOADER
bench_scanner_target=$WINEPREFIX/drive_c/windows/$bench_twain_folder/sane.ds

# On the 64-bit bench, Wine's bare launchers are replaced on the PATH by commands that fail and
# say what to call instead, so that a bare call fails here as it would on a host without 32-bit
# code, whichever host runs the tests.
bench_guard_launchers() {
  local guard=$ZEMBROLITE_BUILD/bench-guard launcher
  mkdir -p "$guard"
  for launcher in wine winepath msiexec wineboot wineserver; do
    cat >"$guard/$launcher" <<EOF
#!/bin/sh
echo "bench: $launcher called bare, which starts Wine's 32-bit loader and fails on a host without 32-bit code; call Wine through \\\$WINE and its server through \\\$WINESERVER" >&2
exit 97
EOF
    chmod +x "$guard/$launcher"
  done
  case ":$PATH:" in *":$guard:"*) ;; *) export PATH=$guard:$PATH ;; esac
}
if [ "$ZEMBROLITE_BENCH_ARCH" = win64 ]; then bench_guard_launchers; fi

# A host path as Windows sees it in the bench's prefix; fails, and says so, when winepath gives
# none (a Wine program run with an empty path fails in other ways that hide why).
bench_windows_path() {
  local path
  path=$("$WINE" winepath -w "$1" 2>/dev/null) || path=
  if [ -z "$path" ]; then
    echo "bench: winepath gave no Windows path for $1" >&2
    return 1
  fi
  printf '%s\n' "$path"
}

# An msiexec process of the prefix that still runs. Ended ones linger as zombies without an
# environment, which do not count. Each file is searched itself (-z: NUL-separated), never
# through a pipe: under the callers' pipefail, "tr | grep -q" fails whenever grep stops at the
# match before tr has written the rest (an environment over 4096 bytes goes out in two writes),
# and the running installer goes unseen.
bench_installer_running() {
  local cmdline
  for cmdline in /proc/[0-9]*/cmdline; do
    grep -qai msiexec "$cmdline" 2>/dev/null || continue
    grep -qxzF "WINEPREFIX=$WINEPREFIX" "${cmdline%cmdline}environ" 2>/dev/null && return 0
  done
  return 1
}

# Waits until no installer of the prefix is left; fails after two minutes. "$WINE" msiexec runs
# start.exe /exec, which returns only after msiexec.exe, the one process that writes the verbose
# log (the error actions run inside it), has ended: this wait finds nothing left then, and is a
# guard for installers that another program started.
bench_wait_for_installer() {
  local deadline=$((SECONDS + 120))
  while bench_installer_running; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "bench: msiexec of $WINEPREFIX still runs after 120 s" >&2
      return 1
    fi
    sleep 0.2
  done
}

# msiexec with its arguments, silently, with a verbose log at the host path $1; returns once
# msiexec.exe has ended, its log whole, with its exit code.
bench_msiexec() {
  local log=$1 windows_log status=0
  shift
  windows_log=$(bench_windows_path "$log") || return 1
  "$WINE" msiexec "$@" /qn /l*v "$windows_log" </dev/null >/dev/null 2>&1 || status=$?
  bench_wait_for_installer || return 1
  return $status
}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the program needs neither. No crash debugger: a program that
# crashes ends, as it does on a station, instead of waiting in Wine's crash dialog.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
# Dates, times and numbers in the tests are those of US English ("12/7/2026 4:26:24 AM", "300.5").
# Wine takes the locale from LANG; the LC_ variables would override it.
export LANG=en_US.UTF-8
for bench_lc in $(env | grep -o '^LC_[A-Z_]*'); do unset "$bench_lc"; done

bench_display_file=$ZEMBROLITE_BUILD/bench-display

# The display of a running bench: the caller's own, or the virtual one that bench_start_display
# started and recorded; fails when there is none.
bench_use_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  [ -f "$bench_display_file" ] || return 1
  DISPLAY=$(cat "$bench_display_file")
  export DISPLAY
  xdpyinfo >/dev/null 2>&1
}

# A display for the bench; without one, a virtual one that bench_down stops again.
bench_start_display() {
  bench_use_display && return 0
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  export DISPLAY=":$n"
  echo $! >"$bench_display_file.pid"
  for _ in $(seq 1 100); do
    if xdpyinfo >/dev/null 2>&1; then
      echo "$DISPLAY" >"$bench_display_file"
      return 0
    fi
    sleep 0.1
  done
  echo "bench: Xvfb did not start on $DISPLAY" >&2
  return 1
}

bench_make_prefix() {
  if [ -f "$WINEPREFIX/system.reg" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
  # Debian's Wine does not look in its own font folder for Tahoma; the prefix's Fonts folder it does.
  cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# The scanner's test build, which counts what the program has not freed.
bench_install_scanner() {
  local scanner=$ZEMBROLITE_BENCH_BUILD/stand-ins/VirtualScanner.ds
  [ -f "$scanner" ] || return 0
  local target=$bench_scanner_target
  mkdir -p "$(dirname "$target")"
  # A new prefix holds a placeholder of its own under that name, often newer than the build.
  cmp -s "$scanner" "$target" || cp "$scanner" "$target"
}

# Tests steer image names through the provider's stand-in, which answers what they script.
bench_use_test_namer() {
  export ZEMBROLITE_NAMER=${ZEMBROLITE_NAMER:-$ZEMBROLITE_BENCH_BUILD/stand-ins/ImageNameProvider.dll}
}

# The image name provider is a COM server, registered again whenever it has been rebuilt or
# another build of it is asked for: the release provider by default, the tests' stand-in
# (stand-ins/ImageNameProvider.dll, which answers what tests script) when ZEMBROLITE_NAMER names it.
bench_register_namer() {
  local namer=${ZEMBROLITE_NAMER:-$ZEMBROLITE_BENCH_BUILD/bin/ImageNameProvider.dll}
  local stamp=$WINEPREFIX/.namer-registered
  [ -f "$namer" ] || return 0
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$namer" ] && [ ! "$namer" -nt "$stamp" ]; then return 0; fi
  local windows_path
  windows_path=$(bench_windows_path "$namer")
  for _ in 1 2 3; do
    if "$WINE" regsvr32 /s "$windows_path" >/dev/null 2>&1 </dev/null; then
      echo "$namer" >"$stamp"
      return 0
    fi
    sleep 1
  done
  echo "bench: cannot register $namer" >&2
  return 1
}

# The drive for file-system faults: S:, a 1 MB disk that fills up.
bench_faults=$ZEMBROLITE_BENCH_BUILD/faults

bench_mount_faults() {
  mkdir -p "$bench_faults/small"
  if ! mountpoint -q "$bench_faults/small"; then
    mount -t tmpfs -o size=1m tmpfs "$bench_faults/small" || return 1
  fi
  ln -sfn "$bench_faults/small" "$WINEPREFIX/dosdevices/s:"
}

bench_unmount_faults() {
  if mountpoint -q "$bench_faults/small" 2>/dev/null; then umount "$bench_faults/small" 2>/dev/null || true; fi
}

# The prefix with the virtual scanner and the name provider; no display and no fault drives.
bench_prepare() {
  mkdir -p "$ZEMBROLITE_BUILD"
  # The 2.x manager is in place only while the tests that press through it run.
  rm -f "$WINEPREFIX"/drive_c/windows/{system32,syswow64}/TWAINDSM.dll
  bench_make_prefix || { echo "bench: cannot make the Wine prefix" >&2; return 1; }
  bench_install_scanner || { echo "bench: cannot install the virtual scanner" >&2; return 1; }
  bench_register_namer || return 1
}

# Stops everything that the bench started: the prefix's wineserver (and with it the prefix's
# programs), the fault drives and a virtual display.
bench_down() {
  "$WINESERVER" -k 2>/dev/null || true
  bench_unmount_faults
  if [ -f "$bench_display_file.pid" ]; then
    kill "$(cat "$bench_display_file.pid")" 2>/dev/null || true
  fi
  rm -f "$bench_display_file.pid" "$bench_display_file"
}
