#!/bin/sh
# Installs what the Linux build, the tests and the demo need from Debian's archive. Safe to run again.
set -eu
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev libcurl4-openssl-dev
