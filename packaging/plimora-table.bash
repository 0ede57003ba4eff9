# Bash completion for plimora-table: its sub-commands, each one's options, the
# values an option takes (csv|tsv …) and file names. The commands and options
# are read from the tool's own --help, so they never fall behind it.

# The sub-commands the tool lists under 子命令 in its --help.
_plimora_table_commands() {
    "$1" --help 2>/dev/null |
        sed -n '/^子命令/,/^$/s/^  \([a-z][a-z-]*\)  .*/\1/p'
}

# The option lines of `tool command --help`: "NAME VALUE", VALUE empty for a
# flag; the short form on a line of its own.
_plimora_table_options() {
    "$1" "$2" --help 2>/dev/null |
        sed -n '/^选项/,/^$/{
            s/^  \(-[a-zA-Z]\), \(--[a-z-]*\) \{0,1\}\([^ ]*\).*/\1 \3\n\2 \3/p
            s/^      \(--[a-z-]*\) \{0,1\}\([^ ]*\).*/\1 \2/p
        }'
}

_plimora_table() {
    local tool=${COMP_WORDS[0]} current=${COMP_WORDS[COMP_CWORD]}
    local previous=${COMP_WORDS[COMP_CWORD - 1]} command="" word i
    COMPREPLY=()
    # The sub-command is the first word that is no option and no option's value.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --store) ((i++)) ;;
        -*) ;;
        *)
            command=$word
            break
            ;;
        esac
    done
    if [[ -z $command ]]; then
        if [[ $previous == --store ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$current")
        elif [[ $current == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--store --help --version" -- "$current")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(_plimora_table_commands "$tool")" -- "$current")
        fi
        return
    fi

    local options name value
    options=$(_plimora_table_options "$tool" "$command")
    while read -r name value; do
        if [[ $name == "$previous" && -n $value ]]; then
            # A value list (csv|tsv) or a single value in Chinese (手机) is
            # offered as it is; FILE, PATH and other upper-case names are not.
            if [[ $value == *'|'* || $value != *[A-Z]* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "${value//|/ }" -- "$current")
            elif [[ $value == FILE || $value == PATH ]]; then
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$current")
            fi
            return
        fi
    done <<<"$options"
    if [[ $current == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(cut -d' ' -f1 <<<"$options")" -- "$current")
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
    fi
}

complete -F _plimora_table plimora-table
