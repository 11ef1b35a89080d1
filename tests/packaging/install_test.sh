#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installation
# is whole and relocatable: real files only, nothing outside the prefix, the
# program folder the same as the build tree's, and the moved programs run.
#   install_test.sh BUILD_DIR TALVO_AUTOMATE VERSION MAN_PAGES(0|1)
set -u
build=$1
automate=$2
version=$3
man_pages=$4

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null
    sleep 1
    kill -KILL "$pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
prefix=$work/prefix

for file in bin/talvo bin/talvoctl \
  share/talvo/skin/XML_MAIN share/talvo/skin/lan_en.xml share/talvo/skin/lan_cn.xml share/talvo/skin/style.qss \
  lib/udev/rules.d/70-talvo.rules share/applications/talvo.desktop share/metainfo/org.talvo.Talvo.metainfo.xml \
  share/icons/hicolor/scalable/apps/talvo.svg share/icons/hicolor/48x48/apps/talvo.png \
  share/bash-completion/completions/talvoctl share/zsh/vendor-completions/_talvoctl \
  share/fish/vendor_completions.d/talvoctl.fish share/doc/talvo/LICENSE \
  share/gnome-shell/extensions/talvo-foreground@talvo.org/extension.js \
  share/gnome-shell/extensions/talvo-foreground@talvo.org/metadata.json; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
if [ "$man_pages" = 1 ]; then
  for page in talvo.1.gz talvoctl.1.gz; do
    gzip -t "$prefix/share/man/man1/$page" 2>/dev/null || fail "man page $page is missing or not gzip"
  done
fi

# Only the programs a user runs: no tests, tools or generators.
programs=$(cd "$prefix/bin" && ls | tr '\n' ' ')
[ "$programs" = "talvo talvoctl " ] || fail "bin/ holds: $programs"

links=$(find "$prefix" -type l)
[ -z "$links" ] || fail "symbolic links installed: $links"

# The installed program folder is the build tree's (its skin link followed):
# every skin, language and factory default file, byte for byte.
diff -r "$build/share/talvo" "$prefix/share/talvo" >"$work/diff.log" 2>&1 ||
  fail "installed share/talvo differs from the build tree's: $(head -5 "$work/diff.log")"

# With DESTDIR, the prefix is the only thing under the staging folder.
mkdir "$work/stage"
if DESTDIR=$work/stage cmake --install "$build" --prefix /talvo-prefix >"$work/install.log" 2>&1; then
  top=$(cd "$work/stage" && ls -A | tr '\n' ' ')
  [ "$top" = "talvo-prefix " ] || fail "DESTDIR install wrote outside its prefix: $top"
  (cd "$prefix" && find . | sort) >"$work/plain.list"
  (cd "$work/stage/talvo-prefix" && find . | sort) >"$work/staged.list"
  diff "$work/plain.list" "$work/staged.list" >/dev/null || fail "DESTDIR install differs from the plain one"
else
  cat "$work/install.log"
  fail "DESTDIR cmake --install"
fi

# Move the installation; the programs must need nothing where they were put.
mkdir "$work/elsewhere"
mv "$prefix" "$work/elsewhere/talvo"
prefix=$work/elsewhere/talvo

out=$("$prefix/bin/talvoctl" --version) || fail "talvoctl --version exits $?"
[ "$out" = "talvoctl $version" ] || fail "talvoctl --version prints '$out'"
out=$("$prefix/bin/talvoctl" --help 2>/dev/null) || fail "talvoctl --help exits $?"
grep -q '^usage: talvoctl' <<<"$out" || fail "talvoctl --help prints no usage to standard output"
"$prefix/bin/talvoctl" --simulate info >/dev/null || fail "moved talvoctl --simulate info"

mkdir -p "$work/home" "$work/config" "$work/data" "$work/system"
mkdir -m 700 "$work/runtime"
socket=$work/runtime/automation.sock
env -u TALVO_PROGRAM_DIR -u TALVO_TRAY -u TALVO_AUTOMATION -u TALVO_SIM_STATE \
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/system" XDG_DATA_HOME="$work/data" \
  XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/talvo" --simulate --automation "$socket" >"$work/talvo.log" 2>&1 &
pid=$!
deadline=$((SECONDS + 15))
while [ ! -S "$socket" ] && kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  sleep 0.1
done
if [ -S "$socket" ]; then
  reply=$("$automate" "$socket" '{"cmd":"ready"}' '{"cmd":"quit"}') || fail "automation requests: $reply"
  grep -q '"ok":true' <<<"$reply" || fail "no ready reply: $reply"
  deadline=$((SECONDS + 10))
  while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "talvo did not end after quit"
else
  fail "the moved talvo opened no automation socket: $(cat "$work/talvo.log")"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installation checks passed"
