#!/usr/bin/env bash
# Runs every benchmark against generated trees in a temporary folder.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d /tmp/bramwick-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export BRAMWICK_HOME="$work/home"
mkdir -p "$BRAMWICK_HOME"

# The tools compared with are installed here, only when missing (never by make test).
missing=()
for tool in gdu jdupes rmlint findimagedupes; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq || true
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        echo "(could not install ${missing[*]}: those comparisons are left out)"
fi

echo "== load at the start: $(uptime)"

echo "== the program as a user runs it, whole processes: start-up, --scan dot-cache, --duplicates and the first painted window, beside jdupes, gdu and true"
"$build/bench/bench_whole_runs" "$build/bramwick" "$work/whole"
rm -rf "$work/whole"

echo "== allocatedSize against du and gdu, warm and cold"
"$build/bench/bench_allocated_size" 200000 "$work/tree"

echo "== one vitals sample, with and without the top processes"
"$build/bench/bench_vitals_sample" "$work/vitals"

echo "== project build folders, large files and deleting, against find and rm"
"$build/bench/bench_cleaner_walks" 60 "$work/projects"

echo "== --duplicates against jdupes and rmlint"
BRAMWICK_HOME="$work/duplicates" "$build/bench/bench_duplicates" "$build/bramwick"
rm -rf "$work/duplicates"

echo "== --pictures on 12-megapixel photos"
BRAMWICK_HOME="$work/pictures" "$build/bench/bench_pictures" "$build/bramwick"

echo "== an uninstall plan among many applications' entries, against du over its leftovers"
"$build/bench/bench_uninstall_plan" 5000 200000 "$work/uninstall"

echo "== the modes that walk the whole home on a generated home of many small files"
"$build/bench/bench_home_modes" "$build/bramwick" 200000 "$work/home-modes"
rm -rf "$work/home-modes"

if [ -x "$build/bench/bench_window_run" ]; then
    echo "== the desktop application on a generated home of 235,000 files: first painted window, memory after a full scan, idle tray"
    "$build/bench/bench_window_run" window 235000 "$work/window-home"
    # 20 s of idle tray here; `bench_window_run tray 235000 <folder> 60` gives the full minute.
    "$build/bench/bench_window_run" tray 235000 "$work/window-home" 20
    rm -rf "$work/window-home"
fi

if [ -x "$build/bench/bench_appearance_paint" ]; then
    echo "== painting the skins' blocks offscreen"
    QT_QPA_PLATFORM=offscreen "$build/bench/bench_appearance_paint"
fi

if [ -x "$build/bench/bench_details_sheet" ]; then
    echo "== the details sheet on a category of 100,000 items, opened from the main window"
    QT_QPA_PLATFORM=offscreen "$build/bench/bench_details_sheet" 2>&1 |
        grep -v '^QStandardPaths\|^This plugin\|^qt\.'
fi

if [ -x "$build/bench/bench_header_vitals" ]; then
    echo "== one vitals tick with the disk header shown"
    QT_QPA_PLATFORM=offscreen "$build/bench/bench_header_vitals" 2>&1 |
        grep -v '^QStandardPaths\|^This plugin\|^qt\.'
fi

if [ -x "$build/bench/bench_history_settings" ]; then
    echo "== a history of 10,000, 100,000 and 1,000,000 records: loading the settings and saving one more, against Python's json.load"
    "$build/bench/bench_history_settings" "$work/history"
fi

if [ -x "$build/bench/bench_list_refresh" ]; then
    echo "== the main window while a full scan of a generated home of 1,140,000 files fills its list"
    QT_QPA_PLATFORM=offscreen "$build/bench/bench_list_refresh" 1140000 "$work/list-home" 2>&1 |
        grep -v '^QStandardPaths\|^This plugin\|^qt\.'
    rm -rf "$work/list-home"
fi

echo "== load at the end: $(uptime)"
