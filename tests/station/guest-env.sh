# Sourced by the station's jobs in the guest: the prefix made with the image (64-bit, with
# 32-bit support), a virtual display, one wineserver for the job, and the packages' installs.
export WINEPREFIX=/root/prefix WINEARCH=win64 WINEDEBUG=-all LANG=en_US.UTF-8
# No crash debugger: under emulation it takes minutes to read a test program's symbols.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files (x86)/Zembrolite"
installed64="$drive/Program Files/Zembrolite"

Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
wineserver -p

# Wine's msiexec may return while its installer service still works (and writes the log): waits
# until no msiexec process is left (ended ones linger as zombies, without an environment).
wait_for_installer() {
  local cmdline deadline=$((SECONDS + 300))
  while [ "$SECONDS" -lt "$deadline" ]; do
    local running=no
    for cmdline in /proc/[0-9]*/cmdline; do
      grep -qai msiexec "$cmdline" 2>/dev/null && grep -qa WINEPREFIX "${cmdline%cmdline}environ" 2>/dev/null && running=yes
    done
    [ "$running" = no ] && return 0
    sleep 0.5
  done
  return 1
}
msiexec() {
  local status=0
  wine msiexec "$@" /qn "/l*v" 'C:\windows\temp\msi.log' </dev/null >/dev/null 2>&1 || status=$?
  wait_for_installer || return 1
  return $status
}

# install_package <Windows path of the .msi> [properties]: silently, with the scanner feature, as
# an administrator's deployment tool runs it.
install_package() {
  for attempt in 1 2 3; do  # Wine's installer service may not answer at once in a new session
    msiexec /i "$1" ADDLOCAL=ALL "${@:2}" && return 0
    echo "install attempt $attempt failed; the installer's log ends:"
    tail -c 800 "$drive/windows/temp/msi.log" | tr -d '\0'
    sleep 5
  done
  return 1
}

# The installed virtual scanner as the default source of each bitness's manager, as "Choose
# source" makes it (Wine's camera source is listed too).
choose_installed_sources() {
  wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\TWAIN' /v 'Default Source' /t REG_SZ \
    /d 'C:\windows\twain_32\VirtualScanner.ds' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\TWAIN64' /v 'Default Source' /t REG_SZ \
    /d 'C:\windows\twain_64\VirtualScanner.ds' /f >/dev/null 2>&1
}
