#!/bin/sh
# Installs what the Linux build, the tests and the demo need from Debian's archive. Safe to run again.
set -eu
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages="g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev libcurl4-openssl-dev
  libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
  libx11-dev libxext-dev libxtst-dev xvfb xdotool x11-utils
  lv2-dev liblilv-dev lilv-utils sordi libsuil-dev jalv jackd2 libjack-jackd2-dev ardour"
# On a machine that has them all, apt is not asked at all (its update alone takes tens of seconds).
if ! sh "$(dirname "$0")/installed.sh" $packages; then
  $SUDO apt-get update
  # jackd2 asks whether JACK may run with realtime priority; the answer is given beforehand.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
  $SUDO apt-get install -y --no-install-recommends $packages
fi

# A locale with a ',' decimal separator, so the tests can show that the plug-in's texts do not
# depend on the host's locale.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  $SUDO apt-get install -y --no-install-recommends locales
  grep -qE '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi
