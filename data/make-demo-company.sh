#!/usr/bin/env bash
# Regenerates demo-company.qbxml, the small company the QuickBooks stand-in serves when
# scripts/run starts Corvina: 40 customers (plus their jobs), 300 invoices, seed 2026.
# The generator gives the same bytes for the same arguments, so the file changes only when
# the generator does. Builds the stand-in first when it is missing.
# Usage: data/make-demo-company.sh [output.qbxml]   (default: demo-company.qbxml beside this script)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/demo-company.qbxml}
[[ "$out" == /* ]] || out=$PWD/$out
cd "$here/.."
qbsim=${CORVINA_BUILD_DIR:-build}/qbsim/qbsim

[[ -x "$qbsim" ]] || scripts/build
"$qbsim" generate --customers 40 --invoices 300 --seed 2026 --output "$out"
echo "wrote $out"
