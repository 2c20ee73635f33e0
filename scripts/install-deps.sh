#!/bin/sh
# Installs the build's needs on a fresh Debian machine; does nothing when they are there.
set -e
missing=""
need_cmd() { command -v "$1" >/dev/null 2>&1 || missing="$missing $2"; }
need_file() { [ -e "$1" ] || missing="$missing $2"; }
need_cmd cmake cmake
need_cmd g++ g++
need_cmd make make
need_cmd pkg-config pkgconf
need_cmd clang-format clang-format
need_file /usr/include/gtest/gtest.h libgtest-dev
need_file /usr/include/gmock/gmock.h libgmock-dev
need_file /usr/include/benchmark/benchmark.h libbenchmark-dev
need_file /usr/include/eigen3/Eigen/Core libeigen3-dev
need_file /usr/include/CLI/CLI.hpp libcli11-dev
need_file /usr/include/nlohmann/json.hpp nlohmann-json3-dev
need_file /usr/include/ceres/ceres.h libceres-dev
need_cmd mpicxx libopenmpi-dev
need_cmd mpirun openmpi-bin
need_file /usr/lib/python3/dist-packages/jsonschema python3-jsonschema
need_cmd chromium chromium
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
