#!/usr/bin/env bash
# The bash completion of kestrix-cli: what it offers for typical command
# lines, and that it knows every subcommand and option kestrix-cli's usage
# names (so that it cannot fall behind the program).
# Usage: completion_test.sh COMPLETION-FILE KESTRIX-CLI
set -uo pipefail
source "$1"
cli=$2
failures=0

# The words offered for a command line whose last word is being completed
# (words as bash splits them, "=" a word of its own).
offered() {
    COMP_WORDS=(kestrix-cli "$@")
    COMP_CWORD=$#
    _kestrix_cli
    echo "${COMPREPLY[*]}"
}

expect() {
    local want=$1
    shift
    local got
    got=$(offered "$@")
    if [[ $got != "$want" ]]; then
        echo "FAIL: kestrix-cli $* -> '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

expect "info search add read reset setip firmware tcl file config keyboard lbus" ""
expect "config" --group 4711 -a con
expect "--port" --p
expect "" --port ""
expect "fetch info convert show set put backup diff --help" config ""
expect "get put convert show --help" keyboard ""
expect "xml map com" keyboard convert a.xml b.map --format ""
expect "table csv json" search --format ""
expect "--order" read --or
expect "cold comm" reset 10.1.2.3 --mode c
expect "key unlock lock firmware params" lbus 10.1.2.3 ""
expect "unlock" lbus --readers 1,2 10.1.2.3 un
expect "--readers" lbus 10.1.2.3 firmware r.bin --re
expect "--replace-monitor --replace-pcmcia --report" firmware update 10.1.2.3 --re
expect "" tcl 10.1.2.3 --password ""
expect "host-address= host-port= host-encrypt= host-key-text=" config set 10.1.2.3 host
expect "on off" config set 10.1.2.3 host-encrypt = ""
expect "dual" config set 10.1.2.3 ip-stack = d
expect "ipv4 dual ipv6" config set 10.1.2.3 ip-stack =
expect "summer=auto summer=off" config set 10.1.2.3 summer=
expect "" config set ""

# Every subcommand of the usage, and every option of its usage line.
while read -r _ line; do
    line=${line#kestrix-cli }
    while [[ $line == \[* ]]; do line=${line#*] }; done # the options before the subcommand
    read -r command subcommand _ <<<"$line"
    words=("$command")
    [[ $command =~ ^(firmware|file|config|keyboard)$ ]] && words+=("$subcommand")
    for ((last = 0; last < ${#words[@]}; ++last)); do
        [[ " $(offered "${words[@]:0:last}" "") " == *" ${words[last]} "* ]] ||
            { echo "FAIL: '${words[*]:0:last+1}' is not offered"; failures=$((failures + 1)); }
    done
    options=$(offered "${words[@]}" x --)
    for option in $(grep -o -- '--[a-z0-9-]*' <<<"${line#"${words[*]}"}" | sort -u); do
        [[ " $options " == *" $option "* ]] ||
            { echo "FAIL: '${words[*]} $option' is not offered"; failures=$((failures + 1)); }
    done
done < <("$cli" --help | grep '^  kestrix-cli ')

((failures == 0)) && echo "completion: all as expected"
exit $((failures > 0))
