#!/bin/sh
# The packaged solvers that the benchmarks measure ours against; the library never links them.
set -e
sh "$(dirname "$0")/install-deps.sh"
missing=""
[ -e /usr/include/coin/IpIpoptApplication.hpp ] || missing="$missing coinor-libipopt-dev"
[ -e /usr/include/coin/CbcModel.hpp ] || missing="$missing coinor-libcbc-dev"
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
