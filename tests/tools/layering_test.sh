#!/usr/bin/env bash
# The dependency rules between the source folders, checked on the includes:
# Qt only in app/, the toolkit interface only in pages/ and app/, nothing of
# the simulated devices outside app/, and no room including one above it.
set -u
src=${1:?usage: layering_test.sh SRC_DIR}
cd "$src" || exit 2
status=0
# Prints the offending lines and fails the check when grep finds any.
forbid() {
  local what=$1
  shift
  local found
  found=$(grep -rnE "$@" --include='*.h' --include='*.cpp' || true)
  if [ -n "$found" ]; then
    echo "$what:"
    echo "$found"
    status=1
  fi
}
forbid "Qt outside app/" '#include <Q' platform device transfer lighting keys macros profiles toolkit pages sim sdk
forbid "the toolkit outside pages/ and app/" '#include "(toolkit|app)/' platform device transfer lighting keys macros profiles sim sdk
forbid "the toolkit interface including a room above it" '#include "(pages|app)/' toolkit
forbid "pages/ including app/" '#include "app/' pages
forbid "the simulated devices in the product's rooms" '#include "sim/' platform device transfer lighting keys macros profiles pages sdk
forbid "platform/ including a room above it" '#include "(device|transfer|lighting|keys|macros|profiles|pages)/' platform
forbid "a model including pages/" '#include "pages/' device transfer lighting keys macros profiles sdk
exit $status
