#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier into every source file of the project:
#   // SPDX-License-Identifier: GPL-3.0-or-later     (.cpp, .h)
#   # SPDX-License-Identifier: GPL-3.0-or-later      (.sh, .cmake, CMakeLists.txt)
# as the first line, or the second after a "#!" line (which must stay first
# for the kernel). Files that carry an identifier already are left alone, so
# the script can run any number of times.
#
#   scripts/add-spdx.sh           adds the missing identifiers
#   scripts/add-spdx.sh --check   changes nothing; lists the files without one
#                                 and exits 1 if there are any
set -euo pipefail
cd "$(dirname "$0")/.."
ID=GPL-3.0-or-later
# The project's own source folders (build trees and the fuzz corpus are not
# sources).
FOLDERS=(app bench cli fuzz link packaging plant protocol scripts sim tests ui)

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

sources() {
  find "${FOLDERS[@]}" -path fuzz/corpus -prune -o -type f \
       \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.cmake' -o -name CMakeLists.txt \) -print
  echo CMakeLists.txt
}

missing=0
while IFS= read -r file; do
  # An identifier in the first two lines counts (the second after "#!").
  if head -n 2 "$file" | grep -q 'SPDX-License-Identifier:'; then
    continue
  fi
  if [ "$check" = 1 ]; then
    echo "no SPDX-License-Identifier: $file"
    missing=$((missing + 1))
    continue
  fi
  case "$file" in
    *.cpp|*.h) line="// SPDX-License-Identifier: $ID" ;;
    *) line="# SPDX-License-Identifier: $ID" ;;
  esac
  tmp=$(mktemp "$file.XXXXXX")
  if head -c 2 "$file" | grep -q '^#!'; then
    { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$tmp"
  else
    { echo "$line"; cat "$file"; } >"$tmp"
  fi
  chmod --reference="$file" "$tmp"
  mv "$tmp" "$file"
  echo "added: $file"
done < <(sources | sort)

if [ "$check" = 1 ]; then
  if [ "$missing" -gt 0 ]; then
    echo "$missing source files without an SPDX-License-Identifier (scripts/add-spdx.sh adds them)"
    exit 1
  fi
  echo "every source file carries an SPDX-License-Identifier"
fi
