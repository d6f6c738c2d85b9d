#!/usr/bin/env bash
# Debian packages the project builds, tests and runs with. Sourced by the other scripts.
KOV_PACKAGES=(
  build-essential cmake pkg-config
  libace-dev
  libomniorb4-dev omniidl omniorb-idl libcos4-dev omniorb-nameserver omniorb
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev googletest
  clang libclang-rt-dev
  xvfb x11-utils x11-apps xdotool dbus at-spi2-core python3-pyatspi
)

# Installs what is missing. As root: apt-get update once, then install.
# Otherwise: print the one command to run and fail.
kov_ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Run, then try again:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
}
