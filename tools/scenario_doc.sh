#!/usr/bin/env bash
# docs/SCENARIO.md is the repository's copy of the team's scenario format
# (../shared/SCENARIO.md beside the checkout, where there is one): this
# copies it in, or with --check says whether the two differ.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
shared=$root/../shared/SCENARIO.md
if [[ ! -f $shared ]]; then
  echo "scenario_doc: no $shared here; docs/SCENARIO.md stays as it is"
  exit 0
fi
if [[ ${1:-} == --check ]]; then
  if cmp -s "$shared" "$root/docs/SCENARIO.md"; then echo "scenario_doc: in step"; exit 0; fi
  echo "scenario_doc: docs/SCENARIO.md differs from $shared (bash tools/scenario_doc.sh copies it)" >&2
  exit 1
fi
cp "$shared" "$root/docs/SCENARIO.md"
echo "scenario_doc: copied $shared to docs/SCENARIO.md"
