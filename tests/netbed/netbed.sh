#!/usr/bin/env bash
# netbed.sh: builds and removes the private LANs of the network test bed.
#
#   netbed.sh up PREFIX LAYOUT      builds the LAN that LAYOUT describes
#   netbed.sh faults PREFIX TERMINAL DROP_TO_TERMINAL QUEUE_TO_TERMINAL DROP_TO_PC QUEUE_TO_PC
#                                   replaces the fault rules of one terminal's link
#   netbed.sh down PREFIX           removes everything named PREFIX-*
#   netbed.sh clean-stale           removes the beds whose owning process is gone
#   netbed.sh list                  prints the prefixes that have something left
#
# A bed is named by its PREFIX ("kb", the owning process id, letters): the
# namespaces PREFIX-pc and PREFIX-tN, /etc/netns/PREFIX-NAME and the run
# directory $KESTRIX_NETBED_ROOT/PREFIX (default root /tmp/kestrix-netbed),
# whose file "owner" ("PID STARTTIME") the owner writes before anything else
# exists. README.md tells what a bed consists of. Nothing is created in the
# calling namespace; "down" ends the processes in the bed's namespaces.
#
# LAYOUT has one item per line (words separated by blanks, "-" for none):
#   bridge INDEX IPV4/LEN IPV6_LINKLOCAL IPV6_GLOBAL/LEN
#   terminal INDEX BRIDGE MAC IPV4/LEN IPV6_LINKLOCAL IPV6_GLOBAL/LEN
#   hosts NAME ADDRESS HOSTNAME...        (NAME: "pc" or "tN")
# Bridges and terminals are numbered from 0 without gaps.
set -euo pipefail

root=${KESTRIX_NETBED_ROOT:-/tmp/kestrix-netbed}

fail() {
    echo "netbed: $*" >&2
    exit 1
}

check_prefix() {
    [[ $1 =~ ^kb[0-9]+[a-z]+$ ]] || fail "bad prefix '$1'"
}

# Sets $broadcast to the broadcast address of an IPv4 address with prefix
# length ("10.77.0.1/24"); no subshell, since it runs once per terminal.
broadcast_of() {
    local address=${1%/*} length=${1#*/} IFS=.
    local -a byte
    read -r -a byte <<<"$address"
    local number=$(((byte[0] << 24) | (byte[1] << 16) | (byte[2] << 8) | byte[3]))
    local mask=$(((0xffffffff << (32 - length)) & 0xffffffff))
    number=$(((number & mask) | (~mask & 0xffffffff)))
    broadcast="$(((number >> 24) & 255)).$(((number >> 16) & 255)).$(((number >> 8) & 255)).$((number & 255))"
}

# "up": reads the layout and builds the bed with one batch of ip commands per
# namespace.
up() {
    local prefix=$1 layout=$2
    check_prefix "$prefix"
    [[ -r $layout ]] || fail "cannot read layout $layout"
    local run=$root/$prefix
    [[ -f $run/owner ]] || fail "no owner file $run/owner"
    local pc=$prefix-pc

    local -a bridge_v4=() bridge_ll=() bridge_global=()
    local -a terminal_bridge=() terminal_mac=() terminal_v4=() terminal_ll=() terminal_global=()
    local -A hosts=()
    local kind index rest
    while read -r kind index rest; do
        [[ -z $kind || $kind == \#* ]] && continue
        local -a word
        read -r -a word <<<"$rest"
        case $kind in
        bridge)
            ((index == ${#bridge_v4[@]})) || fail "bridge $index out of order"
            bridge_v4+=("${word[0]}") bridge_ll+=("${word[1]}") bridge_global+=("${word[2]}")
            ;;
        terminal)
            ((index == ${#terminal_bridge[@]})) || fail "terminal $index out of order"
            ((word[0] < ${#bridge_v4[@]})) || fail "terminal $index: no bridge ${word[0]}"
            terminal_bridge+=("${word[0]}") terminal_mac+=("${word[1]}") terminal_v4+=("${word[2]}")
            terminal_ll+=("${word[3]}") terminal_global+=("${word[4]}")
            ;;
        hosts)
            [[ $index == pc || $index =~ ^t[0-9]+$ ]] || fail "hosts for unknown namespace '$index'"
            hosts[$index]+="$rest"$'\n'
            ;;
        *) fail "unknown layout item '$kind'" ;;
        esac
    done <"$layout"
    ((${#bridge_v4[@]} > 0)) || fail "the layout has no bridge"

    local batch=$run/batch
    mkdir -p "$batch"

    {
        echo "netns add $pc"
        for ((index = 0; index < ${#terminal_bridge[@]}; ++index)); do
            echo "netns add $prefix-t$index"
        done
    } >"$batch/namespaces"
    ip -batch "$batch/namespaces"

    # rp_filter off, before the bridges exist, so that they inherit it: the PC
    # takes replies (and ARP) from terminals in subnets it has no route to.
    ip netns exec "$pc" sysctl -q -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0

    {
        echo "link set lo up"
        for ((index = 0; index < ${#bridge_v4[@]}; ++index)); do
            local bridge=br$index
            echo "link add $bridge type bridge forward_delay 0 mcast_snooping 0"
            echo "link set $bridge addrgenmode none"
            [[ ${bridge_v4[index]} != - ]] && echo "address add ${bridge_v4[index]} brd + dev $bridge"
            [[ ${bridge_ll[index]} != - ]] && echo "address add ${bridge_ll[index]}/64 dev $bridge nodad"
            [[ ${bridge_global[index]} != - ]] && echo "address add ${bridge_global[index]} dev $bridge nodad"
            echo "link set $bridge up"
        done
        for ((index = 0; index < ${#terminal_bridge[@]}; ++index)); do
            echo "link add t$index type veth peer name eth0 netns $prefix-t$index"
            echo "link set t$index addrgenmode none master br${terminal_bridge[index]} up"
        done
    } >"$batch/pc"
    ip -netns "$pc" -batch "$batch/pc"

    for ((index = 0; index < ${#terminal_bridge[@]}; ++index)); do
        local ns=$prefix-t$index file=$batch/t$index
        local v4=${terminal_v4[index]} ll=${terminal_ll[index]} global=${terminal_global[index]}
        local bridge_address=${bridge_v4[terminal_bridge[index]]}
        {
            echo "link set lo up"
            echo "link set eth0 address ${terminal_mac[index]} addrgenmode none"
            [[ $v4 != - ]] && echo "address add $v4 brd + dev eth0"
            [[ $ll != - ]] && echo "address add $ll/64 dev eth0 nodad"
            [[ $global != - ]] && echo "address add $global dev eth0 nodad"
            echo "link set eth0 up"
            if [[ $v4 != - ]]; then
                echo "route add default dev eth0"
                if [[ $bridge_address != - ]]; then
                    local broadcast own_broadcast
                    broadcast_of "$v4"
                    own_broadcast=$broadcast
                    broadcast_of "$bridge_address"
                    [[ $broadcast != "$own_broadcast" ]] &&
                        echo "route add broadcast $broadcast dev eth0 table local"
                fi
            fi
            [[ $ll != - || $global != - ]] && echo "route add ::/0 dev eth0"
            true
        } >"$file"
        ip -netns "$ns" -batch "$file"
        if [[ $ll == - && $global == - ]]; then
            ip netns exec "$ns" sysctl -q -w net.ipv6.conf.eth0.disable_ipv6=1
        fi
    done

    local name
    for name in "${!hosts[@]}"; do
        mkdir -p "/etc/netns/$prefix-$name"
        {
            printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n'
            printf '%s' "${hosts[$name]}"
        } >"/etc/netns/$prefix-$name/hosts"
    done
}

# "faults": the drop and delay rules of terminal N's link, on the receiving
# side's INPUT chain (a drop on OUTPUT would make the sender's sendto fail):
# traffic to the terminal in its own namespace (chain netbed-in), traffic from
# the terminal in the PC's namespace (chain netbed-from-tN, picked by the
# terminal's MAC address, which stays when the terminal changes its address).
# A queue number other than 0 sends the packets to that NFQUEUE queue, where a
# delay helper must already listen. IPv6 neighbour discovery is left alone.
faults() {
    local prefix=$1 terminal=$2 drop_in=$3 queue_in=$4 drop_out=$5 queue_out=$6
    check_prefix "$prefix"
    [[ $terminal =~ ^[0-9]+$ ]] || fail "bad terminal '$terminal'"
    local ns=$prefix-t$terminal pc=$prefix-pc
    local mac
    mac=$(ip -netns "$ns" -brief link show dev eth0 | awk '{print $3}') || fail "no terminal $terminal"
    [[ $mac =~ ^[0-9a-f:]{17}$ ]] || fail "terminal $terminal has no MAC address"
    set_chain "$ns" netbed-in "! -i lo" "$prefix" "$drop_in" "$queue_in"
    set_chain "$pc" "netbed-from-t$terminal" "-m mac --mac-source $mac" "$prefix" "$drop_out" "$queue_out"
}

# set_chain NAMESPACE CHAIN MATCH PREFIX DROP QUEUE: empties CHAIN (creating it
# and its jump from INPUT with MATCH the first time) and fills it, for IPv4 and
# IPv6. Every rule carries the prefix as comment.
set_chain() {
    local ns=$1 chain=$2 match=$3 prefix=$4 drop=$5 queue=$6
    local tool
    for tool in iptables ip6tables; do
        local extra=""
        [[ $tool == ip6tables ]] && extra="! -p ipv6-icmp"
        {
            echo "*filter"
            if ip netns exec "$ns" "$tool" -n -L "$chain" >/dev/null 2>&1; then
                echo "-F $chain"
            else
                echo ":$chain - [0:0]"
                echo "-A INPUT $extra $match -m comment --comment $prefix -j $chain"
            fi
            if [[ $drop != 0 && $drop != 0.0 ]]; then
                echo "-A $chain -m statistic --mode random --probability $drop -m comment --comment $prefix -j DROP"
            fi
            if [[ $queue != 0 ]]; then
                echo "-A $chain -m comment --comment $prefix -j NFQUEUE --queue-num $queue"
            fi
            echo "COMMIT"
        } | ip netns exec "$ns" "$tool-restore" --noflush
    done
}

# The pid and start time that the owner file records, compared with the
# process that has that pid now.
owner_alive() {
    local owner=$root/$1/owner pid start stat
    [[ -r $owner ]] || return 1
    read -r pid start <"$owner" || return 1
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1
    # The start time is field 22; the command name (field 2) may hold blanks,
    # so count from the last ")".
    local -a fields
    read -r -a fields <<<"${stat##*)}"
    [[ ${fields[19]} == "$start" ]]
}

down() {
    local prefix=$1
    check_prefix "$prefix"
    local ns
    local -a namespaces=()
    while read -r ns _; do
        [[ $ns == "$prefix"-* ]] && namespaces+=("$ns")
    done < <(ip netns list)
    # Processes first: a namespace whose name is gone lives on while a process
    # is in it, and then nothing would find that process any more.
    local -a pids=()
    for ns in "${namespaces[@]}"; do
        mapfile -t -O "${#pids[@]}" pids < <(ip netns pids "$ns" 2>/dev/null)
    done
    if ((${#pids[@]} > 0)); then
        kill -TERM "${pids[@]}" 2>/dev/null || true
        local tries
        for ((tries = 0; tries < 100; ++tries)); do
            local alive=0 pid
            for pid in "${pids[@]}"; do
                kill -0 "$pid" 2>/dev/null && alive=1 && break
            done
            ((alive == 0)) && break
            sleep 0.02
        done
        kill -KILL "${pids[@]}" 2>/dev/null || true
    fi
    if ((${#namespaces[@]} > 0)); then
        printf 'netns delete %s\n' "${namespaces[@]}" | ip -force -batch - 2>/dev/null || true
    fi
    rm -rf /etc/netns/"$prefix"-*
    rm -rf "${root:?}/$prefix"
}

# Every prefix that has a namespace, an /etc/netns directory or a run directory.
prefixes() {
    {
        ip netns list | while read -r ns _; do echo "${ns%%-*}"; done
        for dir in /etc/netns/kb* "$root"/kb*; do
            [[ -e $dir ]] || continue
            dir=${dir##*/}
            echo "${dir%%-*}"
        done
    } | grep -E '^kb[0-9]+[a-z]+$' | sort -u || true
}

clean_stale() {
    local prefix
    for prefix in $(prefixes); do
        if ! owner_alive "$prefix"; then
            echo "netbed: removing the leftovers of $prefix" >&2
            down "$prefix"
        fi
    done
}

[[ $(id -u) == 0 ]] || fail "needs root"
command=${1:-}
shift || true
case "$command $#" in
"up 2") up "$@" ;;
"faults 6") faults "$@" ;;
"down 1") down "$1" ;;
"clean-stale 0") clean_stale ;;
"list 0") prefixes ;;
*) fail "usage: netbed.sh up PREFIX LAYOUT | faults PREFIX TERMINAL DROP_IN QUEUE_IN DROP_OUT QUEUE_OUT |" \
    "down PREFIX | clean-stale | list" ;;
esac
