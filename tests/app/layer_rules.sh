#!/bin/bash
# The layers' rules checked on the built program and the sources: the command-line tool loads no
# widget library (`serve` and `scan` run where none is installed), the measuring code and the
# results' windows and paintings include nothing from scanning, and the paintings no widgets.
# usage: layer_rules.sh KAVUSDRAA-CLI SOURCE-DIR
set -u
cli="$1" src="$2/src"
fail=0
problem() { echo "layer rule broken: $*"; fail=1; }

[ -x "$cli" ] || { echo "no program \"$cli\""; exit 1; }
if ! libs="$(ldd "$cli")"; then
  echo "ldd cannot read \"$cli\""
  exit 1
fi
# A program that links Qt at all shows its core library: without it the check below saw nothing.
grep -q 'libQt6Core' <<< "$libs" || problem "ldd lists no libQt6Core for $cli: the check reads the wrong file"
if grep -q 'libQt6Widgets' <<< "$libs"; then
  problem "$cli loads the widget library:"
  grep 'libQt6Widgets' <<< "$libs"
fi

for d in measure results/ui results/paint; do
  [ -d "$src/$d" ] || { problem "no folder $src/$d"; continue; }
  if hits="$(grep -rn '#include "scan/' "$src/$d")"; then
    problem "$d includes scanning code:"
    echo "$hits"
  fi
done
if hits="$(grep -rnE '#include ["<](QtWidgets/|QApplication|QWidget|QStyle|QMessageBox)' "$src/results/paint" "$src/measure")"; then
  problem "painting or measuring code includes widgets:"
  echo "$hits"
fi
[ "$fail" = 0 ] && echo "layer rules hold"
exit "$fail"
