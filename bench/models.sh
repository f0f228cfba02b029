# The model families of the bench scripts, written into $scratch (which the
# sourcing script makes and removes): n independent processes A_i; B_i; EXIT
# with |||, and n dining philosophers with hidden forks.
# Sourced by vector-targets.sh and por-targets.sh.

independent() {
    # A process to a line, a few gates to a line: the dialect's lines are short.
    local n=$1 names="" operands=""
    for ((i = 0; i < n; ++i)); do
        if ((i % 4 == 0 && i > 0)); then names+=$',\n    '; elif ((i > 0)); then names+=", "; fi
        names+="A$i, B$i"
        operands+="${operands:+$'\n'||| }(A$i; B$i; EXIT)"
    done
    printf 'SYSTEM S [%s] :=\n%s\nENDSYS\n' "$names" "$operands" > "$scratch/independent$n.lot"
    echo "$scratch/independent$n.lot"
}

# n philosophers (the family of bench/); with lefty, philosopher 0 takes its right fork first.
philosophers() {
    local n=$1 lefty=${2:-} eats="" hidden="" phils="" forks=""
    for ((i = 0; i < n; ++i)); do
        local l=$i r=$(((i + 1) % n)) b=$(((i + n - 1) % n)) process=Phil
        [[ -n $lefty && $i -eq 0 ]] && process=Lefty
        eats+="${eats:+, }EAT$i"
        hidden+="${hidden:+,$'\n'}T${i}_$l, T${i}_$r, R${i}_$l, R${i}_$r"
        phils+="${phils:+$'\n'||| }$process [T${i}_$l, T${i}_$r, EAT$i, R${i}_$l, R${i}_$r]"
        forks+="${forks:+$'\n'||| }Fork [T${i}_$i, R${i}_$i, T${b}_$i, R${b}_$i]"
    done
    cat > "$scratch/philo$n$lefty.lot" <<SPEC
SYSTEM Philosophers [$eats] :=
HIDE $hidden IN
($phils)
|[$hidden]|
($forks)
WHERE
PROCESS Phil [TL, TR, EAT, RL, RR] :=
  TL; TR; EAT; RL; RR; Phil [TL, TR, EAT, RL, RR]
ENDPROC
PROCESS Lefty [TL, TR, EAT, RL, RR] :=
  TR; TL; EAT; RL; RR; Lefty [TL, TR, EAT, RL, RR]
ENDPROC
PROCESS Fork [TA, RA, TB, RB] :=
  TA; RA; Fork [TA, RA, TB, RB]
  [] TB; RB; Fork [TA, RA, TB, RB]
ENDPROC
ENDSYS
SPEC
    echo "$scratch/philo$n$lefty.lot"
}
