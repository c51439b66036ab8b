#!/bin/bash
# Runs inside the emulated station as /job/job.sh for scripts/benchmark.sh: the largest image of
# the 32-bit program as the x86 package installs it.
# shellcheck source=guest-env.sh
source /job/guest-env.sh
install_package 'Z:\job\Zembrolite-x86.msi' && choose_installed_sources &&
  wine /job/LargeScanBenchmark.exe 'C:\Program Files (x86)\Zembrolite\Zembrolite.exe' 'C:\benchmark' \
    'C:\windows\twain_32' largest </dev/null >/job/result 2>&1
