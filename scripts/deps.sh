#!/usr/bin/env bash
# Installs the Debian packages that building and testing nycl needs, when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config zlib1g-dev libssl-dev openssl libncurses-dev tmux
          libgtest-dev libgmock-dev libbenchmark-dev libx11-dev clang-format
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
