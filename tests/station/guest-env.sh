# Sourced by the station's jobs in the guest: the prefix made with the image (64-bit, with
# 32-bit support), a virtual display, one wineserver for the job, and the package's install.
export WINEPREFIX=/root/prefix WINEARCH=win64 WINEDEBUG=-all LANG=en_US.UTF-8
# No crash debugger: under emulation it takes minutes to read a test program's symbols.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files (x86)/Zembrolite"

Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
wineserver -p

msiexec() { wine msiexec "$@" /qn "/l*v" 'C:\windows\temp\msi.log' </dev/null >/dev/null 2>&1; }

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

# Wine's manager loads only sane.ds: the installed source goes there too.
use_installed_source() { cp "$drive/windows/twain_32/VirtualScanner.ds" "$drive/windows/twain_32/sane.ds"; }
