#!/bin/sh
# Installs the build's needs on a fresh Debian machine; does nothing when they are there.
set -e
missing=""
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
command -v make >/dev/null 2>&1 || missing="$missing make"
[ -f /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
[ -f /usr/include/gmock/gmock.h ] || missing="$missing libgmock-dev"
[ -f /usr/include/benchmark/benchmark.h ] || missing="$missing libbenchmark-dev"
command -v pkg-config >/dev/null 2>&1 || missing="$missing pkgconf"
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
