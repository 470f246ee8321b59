#!/usr/bin/env bash
# Build, test, benchmark and fuzz driver.
#   ./build.sh test [PRESET]   install missing packages, build and run every test (default preset: debug)
#   ./build.sh demo            build and run both tools on the bundled sample data
#   ./build.sh bench           build in release mode and run the benchmarks against peers
#   ./build.sh fuzz SECONDS    build the libFuzzer harnesses and run each for SECONDS
#   ./build.sh build [PRESET]  configure and build only
#   ./build.sh wincheck        compile everything for Windows (MinGW-w64, no linking) and
#                              list the project's symbols no Windows object defines
#   ./build.sh package         build the Debian package (build/package/out/*.deb) and run lintian
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          zlib1g-dev libssl-dev libgmime-3.0-dev gettext libgtest-dev libgmock-dev libbenchmark-dev
          ccache locales gzip pigz p7zip-full fonts-dejavu-core libisal-dev isal
          scdoc libqt6svg6)
BENCH_PACKAGES=(time)
FUZZ_PACKAGES=(clang libclang-rt-dev)
WINCHECK_PACKAGES=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev)
PACKAGE_PACKAGES=(dpkg-dev fakeroot file lintian desktop-file-utils appstream)

install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            sudo=(sudo -n)
        else
            echo "Missing packages: ${missing[*]} (run as root or with sudo to install them)" >&2
            return 0
        fi
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Parallel compile jobs (a function named "jobs" would hide the shell builtin).
job_count() { nproc 2>/dev/null || echo 2; }

# ccache (when installed) shares compiled objects between build folders and
# between clones: paths below the source folder are hashed relative to it.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

configure_and_build() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(job_count)"
}

cmd=${1:-test}
shift || true
case "$cmd" in
    test)
        preset=${1:-debug}
        install_packages "${PACKAGES[@]}"
        configure_and_build "$preset"
        log=build/$preset/ctest.log
        status=0
        # The test preset sets the number of parallel tests.
        ctest --preset "$preset" >"$log" 2>&1 || status=$?
        # The full log stays in $log; show the failures and CTest's summary.
        sed -n '/tests passed\|tests failed/,$p' "$log"
        if [ $status -ne 0 ]; then
            grep -E '\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout|Failed  ' "$log" | head -n 40 || true
            echo "Full test output: $log"
        fi
        exit $status
        ;;
    build)
        install_packages "${PACKAGES[@]}"
        configure_and_build "${1:-debug}"
        ;;
    demo)
        install_packages "${PACKAGES[@]}"
        cmake --preset release >/dev/null
        cmake --build --preset release -j "$(job_count)" --target mailmend packprobe catalogues
        exec ./demo/run-demo.sh build/release/bin
        ;;
    bench)
        install_packages "${PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
        configure_and_build bench
        for b in build/bench/bin/bench_*; do
            [ -x "$b" ] || continue
            echo "== $(basename "$b")"
            "$b"
        done
        ;;
    fuzz)
        seconds=${1:?usage: ./build.sh fuzz SECONDS}
        install_packages "${PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
        configure_and_build fuzz
        mkdir -p build/fuzz/corpus
        status=0
        for f in build/fuzz/bin/fuzz_*; do
            [ -x "$f" ] || continue
            name=$(basename "$f")
            corpus=build/fuzz/corpus/$name
            mkdir -p "$corpus"
            seeds=()
            [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
            echo "== $name for ${seconds}s"
            mkdir -p build/fuzz/artifacts
            "$f" -max_total_time="$seconds" -rss_limit_mb=4096 -artifact_prefix=build/fuzz/artifacts/ "$corpus" "${seeds[@]}" 2>&1 | tail -n 3 || status=1
        done
        exit $status
        ;;
    wincheck)
        install_packages "${PACKAGES[@]}" "${WINCHECK_PACKAGES[@]}"
        cmake --preset wincheck >/dev/null
        log=build/wincheck/build.log
        status=0
        cmake --build --preset wincheck -j "$(job_count)" -- -k 0 >"$log" 2>&1 || status=$?
        # Compiler warnings count as failures too: the Windows code is never
        # compiled anywhere else.
        if [ $status -ne 0 ] || grep -q 'warning:' "$log"; then
            grep -E -B2 -A6 'error:|warning:' "$log" | head -n 200
            echo "Windows compile check failed; full output: $log"
            exit 1
        fi
        exec cmake/wincheck/CheckSymbols.sh build/wincheck
        ;;
    package)
        install_packages "${PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
        configure_and_build package
        rm -rf build/package/out
        (cd build/package && cpack -B out >/dev/null)
        rm -rf build/package/out/_CPack_Packages
        debs=(build/package/out/*.deb)
        # Errors fail the build; warnings and notes are shown.
        lintian --fail-on error --no-tag-display-limit "${debs[@]}"
        printf 'Package: %s\n' "${debs[@]}"
        ;;
    *)
        echo "usage: $0 test [PRESET] | demo | bench | fuzz SECONDS | build [PRESET] | wincheck | package" >&2
        exit 2
        ;;
esac
