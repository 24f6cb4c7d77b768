#!/usr/bin/env bash
# Runs the README's several-machines recipe as written, over local jobs
# only (its host list becomes this machine), on the samples with a second
# file of a taken name in another folder, and checks that it gives what one
# run over the folder gives: the same images, byte for byte, the same file
# reports and the same summary.
#
# usage: readme_recipe_test.sh TOOL MAKE_SAMPLES README [EMULATOR]
set -euo pipefail
tool=$(realpath "$1") make_samples=$(realpath "$2") readme=$3 emulator=${4:-}

for command in parallel jq; do
  command -v "$command" >/dev/null || { echo "needs $command (scripts/install-deps tests)"; exit 1; }
done

# The first sh block of the README that hands files to parallel with --root.
recipe=$(awk '
  /^```sh$/ { inside = 1; block = ""; next }
  /^```$/ { if (inside && block ~ /parallel/ && block ~ /--root/) { printf "%s", block; exit } inside = 0; next }
  inside { block = block $0 "\n" }' "$readme")
[ -n "$recipe" ] || { echo "no several-machines recipe in $readme"; exit 1; }
hosts='8/host1,8/host2,:'
[[ $recipe == *"$hosts"* ]] || { echo "the recipe names no hosts $hosts:"; echo "$recipe"; exit 1; }
recipe=${recipe//"$hosts"/2/:}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# "lumenpull" as the recipe calls it, as installed.
mkdir "$work/bin"
printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$emulator" "$tool" >"$work/bin/lumenpull"
chmod +x "$work/bin/lumenpull"
export PATH="$work/bin:$PATH"

for copy in recipe one; do
  mkdir "$work/$copy"
  $emulator "$make_samples" "$work/$copy/textures" >/dev/null
  # Same name, other folder, other pictures.
  cp "$work/$copy/textures/colour/wheel_rgba.tex" "$work/$copy/textures/grey/gradient_rgb.tex"
done

(cd "$work/recipe" && bash -euo pipefail -c "$recipe") >"$work/summary.jsonl" ||
  { echo "FAILED: the recipe ended with $?"; exit 1; }
(cd "$work/one" && lumenpull --json --strict -r -o out textures) >"$work/one.jsonl"

status=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1"; echo "expected:"; echo "$2"; echo "actual:"; echo "$3"; status=1
  fi
}
images=$(cd "$work/one/out" && find . -type f | sort)
check "the recipe's images" "$images" "$(cd "$work/recipe/out" && find . -type f | sort)"
check "both files of the same name" "2" "$(grep -c '/gradient_rgb.tga$' <<<"$images")"
diff -r "$work/one/out" "$work/recipe/out" || { echo "FAILED: image bytes differ"; status=1; }
check "the summary" "$(tail -n 1 "$work/one.jsonl")" "$(cat "$work/summary.jsonl")"
check "the file reports" "$(jq -c 'select(.file)' "$work/one.jsonl" | sort)" \
  "$(jq -c 'select(.file)' "$work/recipe/report.jsonl" | sort)"
[ "$status" -eq 0 ] && echo "$(wc -l <<<"$images") images, as one run over the folder writes them"
exit "$status"
