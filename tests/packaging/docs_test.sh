#!/usr/bin/env bash
# The documents that describe the programs agree with them: every option,
# command and variable the usage texts name is in the manual pages, every
# talvoctl command in each shell's completion; the metainfo and the Debian
# changelog carry the project's version; the desktop entry and the metainfo
# pass their validators; bash completes talvoctl's commands and arguments.
#   docs_test.sh SOURCE_DIR TALVO TALVOCTL VERSION
set -u
source_dir=$1
talvo=$2
talvoctl=$3
version=$4
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

talvo_usage=$(QT_QPA_PLATFORM=offscreen "$talvo" --help) || fail "talvo --help exits $?"
talvoctl_usage=$("$talvoctl" --help) || fail "talvoctl --help exits $?"
[ -n "$talvo_usage" ] && [ -n "$talvoctl_usage" ] || { echo "no usage text"; exit 1; }

talvo_page=$source_dir/docs/man/talvo.1.scd
talvoctl_page=$source_dir/docs/man/talvoctl.1.scd
# In scdoc, *--option* is bold; an option may be followed by =VALUE.
documented() { grep -qE "\*$2(\*|=|\[)" "$1"; }

for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$talvo_usage" | sort -u); do
  documented "$talvo_page" "$option" || fail "talvo's $option is not in talvo(1)"
done
for variable in $(grep -oE 'TALVO_[A-Z_]+' <<<"$talvo_usage" | sort -u); do
  grep -q "^\*$variable\*" "$talvo_page" || fail "talvo's $variable is not in talvo(1)'s ENVIRONMENT"
done
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$talvoctl_usage" | sort -u); do
  documented "$talvoctl_page" "$option" || fail "talvoctl's $option is not in talvoctl(1)"
done

# The commands are the first word of the usage lines indented by two spaces.
commands=$(grep -E '^  [a-z]' <<<"$talvoctl_usage" | awk '{print $1}' | sort -u)
[ "$(wc -w <<<"$commands")" -ge 13 ] || fail "found only these talvoctl commands in its usage: $commands"
completions=$source_dir/data/completions
for command in $commands; do
  grep -q "^\*$command\*\|^\*$command " "$talvoctl_page" || fail "talvoctl's $command is not in talvoctl(1)"
  for file in talvoctl.bash _talvoctl talvoctl.fish; do
    grep -qw -- "$command" "$completions/$file" || fail "talvoctl's $command is not in $file"
  done
done

metainfo=$source_dir/data/org.talvo.Talvo.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
changelog_version=$(sed -n '1s/^talvo (\([^)]*\)).*/\1/p' "$source_dir/data/debian/changelog")
[ "$changelog_version" = "$version" ] || fail "the Debian changelog's last entry is $changelog_version, not $version"

appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli validate: $(appstreamcli validate --no-net "$metainfo")"
desktop=$source_dir/data/talvo.desktop
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $(basename "$desktop")"

# What bash offers after the words given; the last word is the one completed.
complete_words() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && COMP_LINE="${COMP_WORDS[*]}" &&
    COMP_POINT=${#COMP_LINE} && _talvoctl talvoctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" &&
    echo "${COMPREPLY[*]}"' bash "$completions/talvoctl.bash" "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
  offered=$(complete_words talvoctl "" | tr ' ' '\n' | sort | tr '\n' ' ')
  [ "$offered" = "$(tr '\n' ' ' <<<"$commands")" ] || fail "bash offers the commands '$offered', the usage names '$commands'"
  got=$(complete_words talvoctl --json profile select mouse "")
  [ "$got" = "key lighting device" ] || fail "bash completes a profile kind as '$got'"
else
  fail "bash completion is not installed (Debian package bash-completion)"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "documentation checks passed"
