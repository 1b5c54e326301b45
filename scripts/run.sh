#!/usr/bin/env bash
# Builds Morvela (release) and starts it from its program folder build/app/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" --target morvela
exec "$here/build/app/morvela" "$@"
