#!/usr/bin/env bash
# Debian packages the project builds, tests, runs and packages with. Sourced by
# the other scripts, each of which asks for the lists it needs.

# Building kovclient, kovsim and kovrecorder (KOV_BUILD_TESTS=OFF needs no
# more); libsystemd-dev for the recorder's sd_notify (readiness, watchdog).
KOV_BUILD_PACKAGES=(
  build-essential cmake pkg-config
  libace-dev
  libomniorb4-dev omniidl omniorb-idl libcos4-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev qt6-multimedia-dev
  libqcustomplot-dev
  libsqlite3-dev libpq-dev
  libsystemd-dev
)
# Running them on this machine: a private naming service (omniNames, nameclt)
# and, without a display, a private desktop driven through the accessibility bus.
KOV_RUN_PACKAGES=(
  omniorb-nameserver omniorb
  xvfb x11-utils x11-apps xdotool dbus at-spi2-core python3-pyatspi
  libqt6sql6-sqlite libqt6sql6-psql
)
# The Debian package: dpkg-shlibdeps and file for its run-time dependencies.
KOV_PACKAGING_PACKAGES=(dpkg-dev file)
# The tests: GoogleTest, clang for the fuzz target, the screen reader Orca
# for what it says of the client, lintian for the package, PostgreSQL for
# the archive tests, faketime for a clock set wrong, msmtp and a local mail
# server (python3-aiosmtpd) for the on-call mail, poppler's pdftotext and
# pdftoppm for the reports.
KOV_TEST_PACKAGES=(
  libgtest-dev googletest postgresql-15 faketime
  msmtp python3-aiosmtpd
  clang libclang-rt-dev
  orca
  lintian
  poppler-utils
)
# The layout check (scripts/check-format).
KOV_STYLE_PACKAGES=(clang-format)
# Everything, for scripts/test (the tests also build the package).
KOV_PACKAGES=(
  "${KOV_BUILD_PACKAGES[@]}" "${KOV_RUN_PACKAGES[@]}"
  "${KOV_PACKAGING_PACKAGES[@]}" "${KOV_TEST_PACKAGES[@]}"
)

# Parallel build and test jobs: KOV_JOBS when set, else every processor.
kov_jobs() {
  local jobs=${KOV_JOBS:-}
  if [ -z "$jobs" ]; then
    nproc
    return 0
  fi
  if ! [[ $jobs =~ ^[1-9][0-9]*$ ]]; then
    echo "KOV_JOBS must be a positive whole number, not \"$jobs\"" >&2
    return 1
  fi
  echo "$jobs"
}

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
