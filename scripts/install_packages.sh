#!/usr/bin/env bash
# Source this: `install_packages LABEL PACKAGE...` installs with apt-get those of the Debian
# packages that are not installed yet, as root, and says which under LABEL.
install_packages() {
  local label=$1 p missing=()
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "$label: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
