#!/usr/bin/env bash
# Times the same conversions through quillora-convert and through other
# tools, on a corpus of 1920 x 1080 photo-like pictures made here:
#
#   BMP -> JPEG  quillora-convert --mode bmp-jpg (--jobs 1 and default jobs),
#                cjpeg -quality 90 -baseline file by file, ImageMagick mogrify,
#                libvips file by file, the plainest program doing the same
#                work (bench/plain_convert.cpp: libjpeg-turbo straight from and
#                into BMP rows, one write per file) and the codec's own limit
#                (tjbench compression throughput plus reading and writing the
#                files)
#   JPEG -> BMP  the same with --mode jpg-bmp, djpeg -bmp, mogrify, libvips,
#                tjbench decompression throughput plus the file transfer
#   ICO -> BMP / ICO -> JPEG  quillora-convert on a few icons
#
# Prints wall time, peak memory (largest resident set of any one process) and
# the ratio of each time to quillora-convert --jobs 1 for the same work.
# Tools come from `scripts/setup.sh --bench`; a missing tool's rows are
# skipped with a note.
#
# Usage: bench/compare.sh [--build] [--convert PATH] [--count N] [--repeat N]
#   --build         build quillora-convert (Release, in build-bench) first
#   --convert PATH  the quillora-convert to time (default: build/quillora-convert,
#                   or build-bench/quillora-convert with --build)
#   --count N       pictures in the corpus (default 50)
#   --repeat N      runs of each command, the fastest counts (default 3; a
#                   command slower than 3 s runs once)
# The corpus and every output live in memory (/dev/shm) when it has room, so
# the times are those of the programs, not of the disk; set TMPDIR to choose
# another place.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
count=50
repeat=3
build=0
convert_exe=""

usage() { sed -n '/^# Usage:/,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) build=1 ;;
        --convert) convert_exe=${2:?--convert needs a path}; shift ;;
        --count) count=${2:?--count needs a number}; shift ;;
        --repeat) repeat=${2:?--repeat needs a number}; shift ;;
        -h | --help) usage; exit 0 ;;
        *) echo "compare.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
    esac
    shift
done
[[ $count =~ ^[1-9][0-9]*$ && $repeat =~ ^[1-9][0-9]*$ ]] || { usage >&2; exit 2; }

have() { command -v "$1" >/dev/null 2>&1; }
for tool in convert /usr/bin/time; do
    have "$tool" || { echo "compare.sh: $tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done

if [[ $build == 1 ]]; then
    echo "== building quillora-convert (Release, build-bench)"
    cmake -S "$repo" -B "$repo/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQUILLORA_TESTS=OFF -DQUILLORA_GUI=OFF >/dev/null
    cmake --build "$repo/build-bench" --target quillora-convert plain_convert -j "$(nproc)" >/dev/null
    : "${convert_exe:=$repo/build-bench/quillora-convert}"
    plain_exe=$repo/build-bench/bench/plain_convert
fi
: "${convert_exe:=$repo/build/quillora-convert}"
: "${plain_exe:=$(dirname "$convert_exe")/bench/plain_convert}"
if [[ ! -x $plain_exe ]]; then
    echo "note: $plain_exe not found; the plain program's rows are skipped" >&2
    plain_exe=""
fi
if [[ ! -x $convert_exe ]]; then
    echo "note: $convert_exe not found; its rows are skipped (use --build or --convert)" >&2
    convert_exe=""
fi

# About 1.3 GB at 50 pictures: inputs, and outputs of one run at a time.
room_needed_kb=$((count * 26 * 1024 + 65536))
place=${TMPDIR:-}
if [[ -z $place ]]; then
    place=/tmp
    if [[ -d /dev/shm && -w /dev/shm ]] &&
        (($(df -Pk /dev/shm | awk 'NR == 2 { print $4 }') > room_needed_kb)); then
        place=/dev/shm
    fi
fi
work=$(mktemp -d "$place/quillora-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---------------------------------------------------------------------------
# The corpus

echo "== making the corpus: $count pictures of 1920 x 1080 in $work"
mkdir -p bmp jpg ico
# Plasma fractals: smooth shading with fine detail, like photographs. Every
# tool in one run works on the same corpus, so the ratios compare like with like.
seq 1 "$count" | xargs -P "$(nproc)" -I{} \
    convert -size 1920x1080 plasma:fractal -type TrueColor BMP3:bmp/photo{}.bmp
for f in bmp/*.bmp; do
    name=$(basename "$f" .bmp)
    cjpeg -quality 90 -baseline -outfile "jpg/$name.jpg" "$f"
done
for i in 1 2 3 4 5; do
    convert -size 48x48 plasma:fractal -define icon:auto-resize=48,32,16 "ico/icon$i.ico"
done
bmps=(bmp/*.bmp)
jpgs=(jpg/*.jpg)
icos=(ico/*.ico)
bmp_bytes=$(cat "${bmps[@]}" | wc -c)
jpg_bytes=$(cat "${jpgs[@]}" | wc -c)
printf 'BMP corpus %d MB, JPEG corpus %d MB (%d kB per picture)\n' \
    $((bmp_bytes >> 20)) $((jpg_bytes >> 20)) $((jpg_bytes / count >> 10))

# ---------------------------------------------------------------------------
# Timing

now() { date +%s.%N; }
# calc EXPRESSION: floating-point arithmetic and comparisons (1 or 0).
calc() { awk "BEGIN { print $* }"; }

# measure OUTDIR EXT CMD...: runs CMD (which writes into OUTDIR) up to $repeat
# times and sets best_time and best_kb to the fastest run's wall time and
# peak memory. Fails when the run fails or OUTDIR does not then hold
# `expected` non-empty files named *.EXT.
measure() {
    local out=$1 ext=$2
    shift 2
    best_time="" best_kb=""
    local run
    for ((run = 1; run <= repeat; run++)); do
        rm -rf "$out" && mkdir -p "$out"
        local start end kb
        start=$(now)
        if ! /usr/bin/time -f '%M' -o "$work/rss" "$@" >"$work/log" 2>&1; then
            echo "compare.sh: failed: $*" >&2
            tail -n 20 "$work/log" >&2
            return 1
        fi
        end=$(now)
        kb=$(tail -n 1 "$work/rss")
        local made
        made=$(find "$out" -maxdepth 1 -type f -name "*.$ext" -size +0 | wc -l)
        if [[ $made -ne $expected ]]; then
            echo "compare.sh: $* made $made of $expected .$ext files in $out" >&2
            tail -n 20 "$work/log" >&2
            return 1
        fi
        local t
        t=$(calc "$end - $start")
        if [[ -z $best_time ]] || (($(calc "$t < $best_time"))); then
            best_time=$t best_kb=$kb
        fi
        (($(calc "$t > 3"))) && break
    done
    return 0
}

rows=()
# row GROUP LABEL TIME KB
row() { rows+=("$1|$2|$3|$4"); }

per_file() { # per_file COMMAND-TEMPLATE OUTDIR EXT FILES...: one process per file
    local template=$1 out=$2 ext=$3
    shift 3
    local f name
    for f in "$@"; do
        name=$(basename "${f%.*}")
        eval "$template"
    done
}

# Moving the bytes without converting them: read every input, write every
# output (copies of the outputs a run made), each file in its own process
# as little as possible.
transfer_time() { # transfer_time SOURCE-DIR INPUTS...
    local made=$1
    shift
    rm -rf "$work/copy" && mkdir "$work/copy"
    local start end
    start=$(now)
    cat "$@" >/dev/null
    cp "$made"/* "$work/copy/"
    end=$(now)
    rm -rf "$work/copy"
    calc "$end - $start"
}

# tjbench_rate MODE FILES...: mean megapixels per second over the files.
tjbench_rate() {
    local mode=$1
    shift
    local f sum=0 n=0 rate
    for f in "$@"; do
        if [[ $mode == compress ]]; then
            rate=$(tjbench "$f" 90 -subsamp 420 -benchtime 1 -warmup 0.5 -quiet -nowrite |
                awk 'NF >= 9 && $1 ~ /^[A-Z]+$/ { print $(NF - 2) }')
        else
            rate=$(tjbench "$f" -bgrx -benchtime 1 -warmup 0.5 -quiet -nowrite |
                awk 'NF >= 8 && $1 ~ /^[A-Z]+$/ { print $NF }')
        fi
        sum=$(calc "$sum + $rate")
        n=$((n + 1))
    done
    calc "$sum / $n"
}

pixels=$((1920 * 1080))

run_direction() { # run_direction GROUP QUILLORA-MODE EXT INPUTS...
    local group=$1 mode=$2 ext=$3
    shift 3
    local inputs=("$@")
    expected=${#inputs[@]}
    local q_out="$work/out-quillora"

    if [[ -n $convert_exe ]]; then
        echo "-- $group: quillora-convert --jobs 1"
        measure "$q_out" "$ext" "$convert_exe" --mode "$mode" --output "$q_out" --jobs 1 "${inputs[@]}"
        row "$group" "quillora-convert --jobs 1" "$best_time" "$best_kb"
        echo "-- $group: quillora-convert (default jobs, $(nproc) processors)"
        measure "$work/out-jobs" "$ext" "$convert_exe" --mode "$mode" --output "$work/out-jobs" "${inputs[@]}"
        row "$group" "quillora-convert --jobs default" "$best_time" "$best_kb"
        rm -rf "$work/out-jobs"
    fi

    if [[ -n $plain_exe ]]; then
        echo "-- $group: plain libjpeg-turbo program"
        measure "$work/out" "$ext" "$plain_exe" "$mode" "$work/out" "${inputs[@]}"
        row "$group" "limit: plain program (bench/plain_convert.cpp)" "$best_time" "$best_kb"
    fi

    if [[ $mode == bmp-jpg ]]; then
        if have cjpeg; then
            echo "-- $group: cjpeg file by file"
            measure "$work/out" jpg bash -c "$(declare -f per_file); per_file \
                'cjpeg -quality 90 -baseline -outfile \"\$out/\$name.jpg\" \"\$f\"' \"\$@\"" \
                _ "$work/out" jpg "${inputs[@]}"
            row "$group" "cjpeg -quality 90 -baseline, per file" "$best_time" "$best_kb"
        fi
    else
        if have djpeg; then
            echo "-- $group: djpeg file by file"
            measure "$work/out" bmp bash -c "$(declare -f per_file); per_file \
                'djpeg -bmp -outfile \"\$out/\$name.bmp\" \"\$f\"' \"\$@\"" \
                _ "$work/out" bmp "${inputs[@]}"
            row "$group" "djpeg -bmp, per file" "$best_time" "$best_kb"
        fi
    fi

    if have mogrify; then
        # At quality 90 ImageMagick would leave the colour channels at full
        # resolution; 2x2 sampling is the work the others do.
        local mog=(mogrify -path "$work/out" -quality 90 -sampling-factor 2x2 -format "$ext")
        [[ $ext == bmp ]] && mog=(mogrify -path "$work/out" -format bmp)
        echo "-- $group: mogrify"
        measure "$work/out" "$ext" "${mog[@]}" "${inputs[@]}"
        row "$group" "ImageMagick mogrify" "$best_time" "$best_kb"
        echo "-- $group: mogrify, one thread"
        measure "$work/out" "$ext" env MAGICK_THREAD_LIMIT=1 "${mog[@]}" "${inputs[@]}"
        row "$group" "ImageMagick mogrify, 1 thread" "$best_time" "$best_kb"
    fi

    if have vips; then
        echo "-- $group: vips file by file"
        # Expanded by per_file, for each file.
        # shellcheck disable=SC2016
        local target='"$out/$name.bmp"'
        # shellcheck disable=SC2016
        [[ $ext == jpg ]] && target='"$out/$name.jpg[Q=90,subsample-mode=on]"'
        measure "$work/out" "$ext" bash -c "$(declare -f per_file); per_file \
            'vips copy \"\$f\" $target' \"\$@\"" _ "$work/out" "$ext" "${inputs[@]}"
        row "$group" "libvips vips copy, per file" "$best_time" "$best_kb"
    fi

    if have tjbench && [[ $group != ICO* ]]; then
        echo "-- $group: tjbench"
        local rate transfer made_dir="$q_out"
        if [[ $mode == bmp-jpg ]]; then
            rate=$(tjbench_rate compress "${inputs[@]:0:2}")
        else
            rate=$(tjbench_rate decompress "${inputs[@]:0:2}")
        fi
        # The outputs whose writing is counted: quillora-convert's, or the
        # last tool's when it is absent.
        [[ -d $made_dir ]] || made_dir="$work/out"
        transfer=$(transfer_time "$made_dir" "${inputs[@]}")
        local limit
        limit=$(calc "${#inputs[@]} * $pixels / ($rate * 1000000) + $transfer")
        row "$group" "codec limit: tjbench $(printf '%.0f' "$rate") MP/s + file transfer $(printf '%.2f' "$transfer") s" "$limit" "-"
    fi
    rm -rf "$work/out" "$q_out"
}

run_direction "BMP -> JPEG" bmp-jpg jpg "${bmps[@]}"
run_direction "JPEG -> BMP" jpg-bmp bmp "${jpgs[@]}"
if [[ -n $convert_exe ]]; then
    for mode in ico-bmp ico-jpg; do
        ext=${mode#ico-}
        expected=${#icos[@]}
        echo "-- ICO: quillora-convert --mode $mode"
        measure "$work/out" "$ext" "$convert_exe" --mode "$mode" --output "$work/out" --jobs 1 "${icos[@]}"
        row "ICO -> ${ext^^}" "quillora-convert --jobs 1 (${#icos[@]} icons)" "$best_time" "$best_kb"
    done
fi

# ---------------------------------------------------------------------------
# The table

decoded_kb=$((1920 * 1080 * 4 / 1024))
echo
printf 'Corpus: %d pictures of 1920 x 1080 (BMP 24 bits, JPEG quality 90 4:2:0), %d processors.\n' \
    "$count" "$(nproc)"
printf 'Memory budget: 2.5 x (decoded 32-bit picture %d kB + JPEG %d kB) = %d kB.\n\n' \
    "$decoded_kb" $((jpg_bytes / count >> 10)) $(((decoded_kb + (jpg_bytes / count >> 10)) * 5 / 2))
printf '%-12s %-62s %9s %10s %7s\n' "work" "command" "wall s" "peak MB" "ratio"
reference=""
group_seen=""
for r in "${rows[@]}"; do
    IFS='|' read -r group label t kb <<<"$r"
    if [[ $group != "$group_seen" ]]; then
        group_seen=$group
        reference=""
        [[ $label == "quillora-convert --jobs 1"* ]] && reference=$t
    fi
    ratio="-"
    [[ -n $reference ]] && ratio=$(printf '%.2f' "$(calc "$t / $reference")")
    mb="-"
    [[ $kb != "-" ]] && mb=$(printf '%.1f' "$(calc "$kb / 1024")")
    printf '%-12s %-62s %9.3f %10s %7s\n' "$group" "$label" "$t" "$mb" "$ratio"
done
echo
echo "ratio: wall time / quillora-convert --jobs 1 for the same work (above 1: slower)."
