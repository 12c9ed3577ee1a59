# Runs the completion of devedazi-cli on each line of standard input the way readline
# calls it, printing "@@LINE" and then every word offered, one a line. Environment:
# COMPLETION (the completion file), PROGRAM (devedazi-cli), WORK (the folder to run in).
source /usr/share/bash-completion/bash_completion || exit 3
source "$COMPLETION" || exit 3
complete -p devedazi-cli
cd "$WORK" || exit 3
while IFS= read -r request; do
    line="$PROGRAM $request"
    COMP_LINE=$line COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"${line//=/ = }" # readline splits at '=' too
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _devedazi_cli "$PROGRAM" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '@@%s\n' "$request"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}"
done
exit 0
