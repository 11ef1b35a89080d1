# bash completion for talvoctl

_talvoctl() {
    local cur prev words cword
    _init_completion || return

    local devices="mouse keyboard mousepad"
    local direct="list info settings keymap default-map select-profile restore-defaults"
    local talvo="status profile onboard light dpi store"

    case $prev in
        --device)
            COMPREPLY=($(compgen -W "$devices" -- "$cur"))
            return
            ;;
        --brightness | --speed | --colour)
            return
            ;;
    esac

    # The command is the first word that is neither an option nor --device's value.
    local i command="" command_at=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --device) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                command_at=$i
                break
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--simulate --trace --device --json --help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$direct $talvo" -- "$cur"))
        fi
        return
    fi

    # The plain words after the command, the one being completed not counted.
    local plain=0
    for ((i = command_at + 1; i < cword; i++)); do
        case ${words[i]} in
            --brightness | --speed | --colour) ((i++)) ;;
            -*) ;;
            *) ((plain++)) ;;
        esac
    done

    if [[ $cur == -* ]]; then
        case $command in
            light) COMPREPLY=($(compgen -W "--brightness --speed --colour --json" -- "$cur")) ;;
            status | profile | onboard | dpi | store) COMPREPLY=($(compgen -W "--json" -- "$cur")) ;;
        esac
        return
    fi

    local choices=""
    case $command:$plain in
        keymap:0 | select-profile:0) choices="1 2 3 4 5" ;;
        profile:0) choices="select" ;;
        profile:1 | onboard:0 | light:0 | store:0) choices=$devices ;;
        profile:2) choices="key lighting device" ;;
        onboard:1) choices="1 2 3 4 5" ;;
        dpi:0) choices="1 2 3 4 5 6" ;;
    esac
    [[ -n $choices ]] && COMPREPLY=($(compgen -W "$choices" -- "$cur"))
}

complete -F _talvoctl talvoctl
