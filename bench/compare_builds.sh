#!/usr/bin/env bash
# Builds the benchmarks three ways side by side - GCC -O2 (the scripts'
# build), GCC -O3 (CMake's Release) and clang -O2 - runs each program of
# bench/ in each build on every instruction-set path the processor has, and
# prints every benchmark's time relative to GCC -O2's.
#
#   bash bench/compare_builds.sh [--filter REGEX] [--min-time SECONDS] [--reps N] [--levels "2 1 0"]
#
# Builds go to build-compare/ (BUILD_ROOT overrides). A ratio above 1.25 is
# marked with '!'. Each time is the least of the repetitions.
set -euo pipefail
cd "$(dirname "$0")/.."
filter="" min_time=0.2 reps=3 levels=""
while [ $# -gt 0 ]; do
  case $1 in
    --filter) filter=$2; shift 2 ;;
    --min-time) min_time=$2; shift 2 ;;
    --reps) reps=$2; shift 2 ;;
    --levels) levels=$2; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
root=${BUILD_ROOT:-build-compare}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

configure() {  # name cc cxx build-type flags
  local dir=$root/$1
  CC=$2 CXX=$3 cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$4" "-DCMAKE_CXX_FLAGS_$4=$5" \
    -DZVEK_BUILD_TESTS=OFF -DZVEK_BUILD_BENCH=ON >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
}
configure gcc-O2 gcc g++ RELWITHDEBINFO "-O2 -g -DNDEBUG"
configure gcc-O3 gcc g++ RELEASE "-O3 -DNDEBUG"
configure clang-O2 clang clang++ RELWITHDEBINFO "-O2 -g -DNDEBUG"
echo "built with $(gcc --version | head -n 1) and $(clang --version | head -n 1)"

flags=$(grep -m1 '^flags' /proc/cpuinfo || true)
widest=0
grep -qw avx2 <<<"$flags" && widest=1
grep -qw avx512f <<<"$flags" && widest=2
if [ -z "$levels" ]; then
  levels=$(seq "$widest" -1 0 | tr '\n' ' ')
fi
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "instruction sets: $(grep -owE 'avx512[a-z0-9_]*|avx2|fma|sse4_2' <<<"$flags" | sort -u | tr '\n' ' ')"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for level in $levels; do
  for prog in "$root"/gcc-O2/bench/bench_*; do
    [ -x "$prog" ] && [ -f "$prog" ] || continue
    name=$(basename "$prog")
    for build in gcc-O2 gcc-O3 clang-O2; do
      ZVEK_VECTOR_LEVEL=$level "$root/$build/bench/$name" --benchmark_filter="${filter:-.}" \
        --benchmark_min_time="$min_time" --benchmark_repetitions="$reps" \
        --benchmark_format=json >"$out/$level.$name.$build.json" 2>/dev/null || true
    done
  done
done

python3 - "$out" $levels <<'PY'
import glob, json, os, sys
out, levels = sys.argv[1], sys.argv[2:]
names = {"2": "AVX-512", "1": "AVX2", "0": "baseline"}
builds = ["gcc-O2", "gcc-O3", "clang-O2"]
worst = {b: 0.0 for b in builds[1:]}
for level in levels:
    print(f"\n== path cap {level} ({names.get(level, level)}): GCC -O2 time, then each build's time / GCC -O2's")
    print(f"{'benchmark':58} {'gcc-O2':>12} {'gcc-O3':>8} {'clang-O2':>9}")
    for base in sorted(glob.glob(f"{out}/{level}.*.gcc-O2.json")):
        prog = os.path.basename(base).split(".")[1]
        times = {}
        for b in builds:
            try:
                text = open(f"{out}/{level}.{prog}.{b}.json").read()
                # Some programs print a check of their own before the report.
                data = json.loads(text[text.find("\n{") + 1 if not text.startswith("{") else 0:])
            except (OSError, ValueError):
                continue
            for r in data.get("benchmarks", []):
                if r.get("run_type") == "aggregate" or r.get("error_occurred"):
                    continue
                key = r["run_name"] if "run_name" in r else r["name"]
                t = r["real_time"]
                unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[r.get("time_unit", "ns")]
                times.setdefault(key, {})
                times[key][b] = min(times[key].get(b, 1e300), t * unit)
        for key, t in times.items():
            if "gcc-O2" not in t:
                continue
            cells = []
            for b in builds[1:]:
                if b in t:
                    ratio = t[b] / t["gcc-O2"]
                    worst[b] = max(worst[b], ratio)
                    cells.append(f"{ratio:7.2f}{'!' if ratio > 1.25 else ' '}")
                else:
                    cells.append(f"{'-':>8}")
            print(f"{key[:58]:58} {t['gcc-O2']:9.3f} ms {cells[0]:>8} {cells[1]:>9}")
print("\nworst ratio: " + ", ".join(f"{b} {w:.2f}" for b, w in worst.items()))
PY
