#!/usr/bin/env bash
# Applies one deliberate fault to a copy of the tree, rebuilds only what depends on it, runs
# one test and says whether the test caught the fault.
#
#   tools/mutate.sh FILE 'SED-EXPRESSION' TEST     one mutation; prints "caught" or "survived"
#   tools/mutate.sh --list tests/mutations.txt     every mutation of a list, then the score
#
# A list line is "TEST FILE SED-EXPRESSION" (the expression is the rest of the line); blank
# lines and lines starting with "#" are skipped. TEST is the ctest name (tests/*/CMakeLists.txt).
# The copy lives in $KOVRA_MUTATE_DIR (default: build-mutate/ beside the sources) and is kept
# between runs, so that only the mutated file and what depends on it are compiled again.
# Exit status: 0 when every mutation was caught, 1 when one survived, 2 for a mutation that
# changed nothing or did not compile (a mistake in the list, not a verdict on the tests).
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${KOVRA_MUTATE_DIR:-$here/build-mutate}"
tree="$work/src"
build="$work/build"

sync_tree() {
    mkdir -p "$tree"
    # Only what differs is copied, so unchanged sources keep their time stamps and objects.
    rsync -a --delete --exclude '/build*' --exclude '/.git' "$here/" "$tree/"
    if [ ! -f "$build/build.ninja" ]; then
        local launcher=()
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DKOVRA_FONT_CACHE="$here/.cache" "${launcher[@]}" >"$work/configure.log" 2>&1 \
            || { echo "mutate: configuring the copy failed, see $work/configure.log" >&2; exit 2; }
    fi
}

# Prints the verdict of one mutation and returns 0 caught, 1 survived, 2 unusable.
mutate_one() {
    local file="$1" expression="$2" test="$3"
    local target="$tree/$file"
    if [ ! -f "$target" ]; then
        echo "unusable: $file does not exist"
        return 2
    fi
    local original="$work/original"
    cp -p "$target" "$original"
    sed -i -e "$expression" "$target"
    if cmp -s "$target" "$original"; then
        cp -p "$original" "$target"
        echo "unusable: '$expression' changes nothing in $file"
        return 2
    fi

    local verdict status
    if ! cmake --build "$build" --target "tst_$test" >"$work/build.log" 2>&1; then
        verdict="unusable: the mutated $file does not compile (see $work/build.log)"
        status=2
    elif ctest --test-dir "$build" -R "^$test\$" --timeout 300 >"$work/test.log" 2>&1; then
        verdict="survived"
        status=1
    else
        verdict="caught"
        status=0
    fi
    # The original content but a new time stamp, so the next build compiles it again.
    cp "$original" "$target"
    touch "$target"
    echo "$verdict"
    return "$status"
}

if [ "${1:-}" = "--list" ]; then
    list="$2"
    sync_tree
    total=0 caught=0 worst=0
    while IFS= read -r line || [ -n "$line" ]; do
        [[ -z "${line// }" || "$line" == \#* ]] && continue
        read -r test file expression <<<"$line"
        total=$((total + 1))
        printf '%-22s %-40s %s ... ' "$test" "$file" "$expression"
        mutate_one "$file" "$expression" "$test"
        status=$?
        [ "$status" -eq 0 ] && caught=$((caught + 1))
        [ "$status" -gt "$worst" ] && worst=$status
    done <"$list"
    echo "mutation score: $caught of $total caught"
    exit "$worst"
fi

if [ $# -ne 3 ]; then
    sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 2
fi
sync_tree
mutate_one "$1" "$2" "$3"
