#!/bin/bash
# The bash completion offers exactly the commands and options that kavelo's
# own help lists, so the two cannot drift apart.
# usage: completion_test.sh KAVELO COMPLETION_FILE
set -u
kavelo=$1
# Stand-ins for the bash-completion library the completion uses.
_init_completion() {
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
}
_filedir() { COMPREPLY=(FILES "$@"); }
complete() { :; }
source "$2"

complete_line() { # the words, the last one being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _kavelo
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

failures=0
expect() { # what, got, wanted
    if [[ "$2" != "$3" ]]; then
        echo "FAIL $1: got '$2', wanted '$3'"
        failures=$((failures + 1))
    fi
}

commands=$("$kavelo" --help | sed -n '/^commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p' | sort | tr '\n' ' ')
got=$(complete_line kavelo '' | sed 's/--help //; s/--version //')
expect "commands" "$got" "$(printf '%s\n' $commands help | sort | tr '\n' ' ')"

for command in $commands; do
    options=$("$kavelo" "$command" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p' | sort | tr '\n' ' ')
    expect "$command options" "$(complete_line kavelo "$command" --)" \
        "$(printf '%s\n' $options --help | sort | tr '\n' ' ')"
done

expect "set keys" "$(complete_line kavelo set t.exe '')" \
    "caption compression finish-text install-folder launch-text license start-text startmenu-folder "
expect "set compression" "$(complete_line kavelo set t.exe compression '')" "huffman zstd "
expect "new compression" "$(complete_line kavelo new t.exe --compression '')" "huffman zstd "
expect "set value" "$(complete_line kavelo set t.exe caption '')" "FILES "
expect "script file" "$(complete_line kavelo script t.exe --set '')" "FILES "
expect "extract folder" "$(complete_line kavelo extract t.exe '')" "-d FILES "
exit $((failures > 0))
