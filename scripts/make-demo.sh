#!/usr/bin/env bash
# Makes a small demo project so that `make run` shows a run at once.
set -euo pipefail
root="$1/Site"
[ -d "$root" ] && exit 0
mkdir -p "$root/docs/img" "$root/css"
printf '<html><body>Hello from the demo site</body></html>\n' > "$root/index.html"
printf 'body { font-family: sans-serif; }\n' > "$root/css/site.css"
printf 'Notes for the demo project.\n' > "$root/docs/notes.txt"
head -c 20000 /dev/urandom > "$root/docs/img/logo.bin"
echo "Demo project made at $root"
