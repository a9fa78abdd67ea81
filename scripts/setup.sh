#!/usr/bin/env bash
# Installs what MOXELD needs on Debian 12, builds it, and then either starts it or runs every test.
#   bash scripts/setup.sh run    install, build (Release) and start the program
#   bash scripts/setup.sh test   install, build and run the whole test suite through CTest
set -euo pipefail

mode=${1:-}
if [[ $mode != run && $mode != test ]]; then
    echo "usage: bash scripts/setup.sh run|test" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MOXELD_BUILD_DIR:-$root/build}

packages=(
    cmake g++ make
    qt6-base-dev libjpeg62-turbo-dev libxkbcommon-dev
    fonts-crosextra-carlito  # the free stand-in for the window font
    fp-utils                 # chmcmd, which compiles the help file
)
if [[ $mode == test ]]; then
    packages+=(clang libclang-rt-14-dev)  # the sanitizer and fuzzing run of the tests
fi
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

if [[ $mode == run ]]; then
    exec "$build/bin/moxeld"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# Then, from one clang build with AddressSanitizer and UndefinedBehaviorSanitizer: the robustness suites
# once more, and each fuzz target for a bounded time from its seed corpus.
check=${MOXELD_CHECK_DIR:-$root/build-check}
CXX=clang++ cmake -S "$root" -B "$check" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOXELD_FUZZ=ON >/dev/null
cmake --build "$check" -j"$(nproc)" --target moxeld_checks
# Undefined behaviour is reported and carries on by default; here it fails the test.
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir "$check" -L 'robustness|fuzz' --output-on-failure -j"$(nproc)"
