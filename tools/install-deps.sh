#!/usr/bin/env bash
# Installs what Laminor needs to build, run and test on Debian 12.
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  libgtest-dev libgmock-dev
  fonts-noto-cjk
  xvfb xauth imagemagick
  openbox x11-utils xdotool
  python3-ezdxf python3-openpyxl python3-matplotlib
  cups printer-driver-cups-pdf poppler-utils
  libreoffice-calc libreoffice-dev libreoffice-dev-common
  libxlsxwriter-dev
  parallel
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The two npm DWG readers the DWG oracle test compares saved drawings with
# (test oracles, never shipped), with the machine's Node.js and npm. Without
# them that test is skipped and says why; a failed install does not stop here.
oracles="$(dirname "$0")/../bench/dwg"
if [ ! -d "$oracles/node_modules/@mlightcad/libredwg-web" ] || [ ! -d "$oracles/node_modules/@mlightcad/libdxfrw-web" ]; then
  if command -v node >/dev/null && command -v npm >/dev/null; then
    echo "Installing the npm DWG readers (test oracles) into bench/dwg/node_modules"
    sh "$oracles/install-oracles.sh" || echo "warning: the npm DWG readers could not be installed; the DWG oracle test will be skipped" >&2
  else
    echo "note: Node.js/npm not found; the DWG oracle test will be skipped" >&2
  fi
fi
