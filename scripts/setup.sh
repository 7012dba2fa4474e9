#!/usr/bin/env bash
# Installs the Debian packages Meshwright needs, only those that are missing.
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libgl1-mesa-dri
          libgl-dev libegl-dev libegl-mesa0 xvfb xauth fonts-ipafont-gothic libjpeg-dev libpng-dev libgtest-dev libgmock-dev
          libbenchmark-dev libstb-dev libtinyobjloader-dev libassimp-dev nlohmann-json3-dev python3-meshio clang libclang-rt-14-dev libzip-dev
          libx11-dev qt6-translations-l10n openbox xdotool strace libosd-dev pybind11-dev python3-dev python3-numpy
          python3-pytest libeigen3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="/tmp/meshwright-runtime-$(id -u)"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi

# The release build folder is shared by run.sh, test.sh and the benchmarks. Every script configures
# it with all options spelt out, the same ones, so whichever ran before, none flips another's
# options in the cache (which would also rebuild everything).
configure_release() {
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMW_WERROR=ON -DMW_WITH_GUI=ON \
    -DMW_WITH_BENCH=ON -DMW_SANITIZE=OFF -DMW_FUZZ=OFF >/dev/null
}
