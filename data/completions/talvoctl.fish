# fish completion for talvoctl

set -l devices mouse keyboard mousepad

# The words after the command, the one being completed not counted, without options and their values.
function __talvoctl_args
    set -l words (commandline -opc)
    set -e words[1]
    while set -q words[1]
        switch $words[1]
            case --device
                set -e words[1]
                set -q words[1]; and set -e words[1]
            case '-*'
                set -e words[1]
            case '*'
                break
        end
    end
    set -l skip 0
    for word in $words
        if test $skip -eq 1
            set skip 0
            continue
        end
        switch $word
            case --brightness --speed --colour
                set skip 1
            case '-*'
            case '*'
                echo $word
        end
    end
end

# True when the command is $argv[1] and it has $argv[2] plain words after it.
function __talvoctl_at
    set -l args (__talvoctl_args)
    test (count $args) -ge 1; and test $args[1] = $argv[1]; and test (math (count $args) - 1) -eq $argv[2]
end

function __talvoctl_no_command
    test (count (__talvoctl_args)) -eq 0
end

complete -c talvoctl -f
complete -c talvoctl -n __talvoctl_no_command -s h -l help -d 'Print the usage text'
complete -c talvoctl -n __talvoctl_no_command -l version -d 'Print the version'
complete -c talvoctl -n __talvoctl_no_command -l simulate -d 'Talk to simulated devices'
complete -c talvoctl -n __talvoctl_no_command -l trace -d 'Print every report as hex'
complete -c talvoctl -n __talvoctl_no_command -l device -x -a "$devices" -d 'The device the command talks to'
complete -c talvoctl -n __talvoctl_no_command -l json -d 'Print JSON'

complete -c talvoctl -n __talvoctl_no_command -a list -d 'Every interface of vendor 0c45'
complete -c talvoctl -n __talvoctl_no_command -a info -d 'The information block'
complete -c talvoctl -n __talvoctl_no_command -a settings -d 'The active profile and the profile blocks'
complete -c talvoctl -n __talvoctl_no_command -a keymap -d 'The key map of an onboard profile'
complete -c talvoctl -n __talvoctl_no_command -a default-map -d 'The factory key map'
complete -c talvoctl -n __talvoctl_no_command -a select-profile -d 'Make an onboard profile the active one'
complete -c talvoctl -n __talvoctl_no_command -a restore-defaults -d 'Return the device to its factory settings'
complete -c talvoctl -n __talvoctl_no_command -a status -d 'What the running Talvo shows'
complete -c talvoctl -n __talvoctl_no_command -a profile -d 'Choose a profile'
complete -c talvoctl -n __talvoctl_no_command -a onboard -d 'Make an onboard profile the active one'
complete -c talvoctl -n __talvoctl_no_command -a light -d 'Set the lighting'
complete -c talvoctl -n __talvoctl_no_command -a dpi -d 'Set a DPI stage of the mouse'
complete -c talvoctl -n __talvoctl_no_command -a store -d 'Store the key profile and macros in the device'

complete -c talvoctl -n '__talvoctl_at keymap 0; or __talvoctl_at select-profile 0' -a '1 2 3 4 5'
complete -c talvoctl -n '__talvoctl_at profile 0' -a select
complete -c talvoctl -n '__talvoctl_at profile 1; or __talvoctl_at onboard 0; or __talvoctl_at light 0; or __talvoctl_at store 0' -a "$devices"
complete -c talvoctl -n '__talvoctl_at profile 2' -a 'key lighting device'
complete -c talvoctl -n '__talvoctl_at onboard 1' -a '1 2 3 4 5'
complete -c talvoctl -n '__talvoctl_at dpi 0' -a '1 2 3 4 5 6'
complete -c talvoctl -n 'contains -- (__talvoctl_args)[1] light' -l brightness -x -d 'Brightness'
complete -c talvoctl -n 'contains -- (__talvoctl_args)[1] light' -l speed -x -d 'Speed'
complete -c talvoctl -n 'contains -- (__talvoctl_args)[1] light' -l colour -x -d 'Colour RRGGBB'
complete -c talvoctl -n 'contains -- (__talvoctl_args)[1] status profile onboard light dpi store' -l json -d 'Print JSON'
