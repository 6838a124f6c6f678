# bash completion for kestrova-cli
#
# The options and the setting keys are asked of the program itself (--help
# and --print-settings), so the completion always matches the installed
# version.

# The names of NAME.ksv in the folders that --preset searches.
_kestrova_cli_presets() {
  local program folder file
  program=$(command -v -- "$1" 2>/dev/null) || return
  program=$(readlink -f -- "$program") || return
  folder=${program%/*}
  for file in "$folder"/presets/*.ksv "$folder"/../share/kestrova/presets/*.ksv; do
    [[ -f $file ]] || continue
    file=${file##*/}
    printf '%s\n' "${file%.ksv}"
  done
}

# Setting keys with the "=" that follows them; the "$" of the word keys is
# escaped so that the shell passes it on.
_kestrova_cli_setting_keys() {
  local line
  "$1" --print-settings 2>/dev/null | while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line == *=* ]] || continue
    line=${line%%=*}
    [[ $line == OutputFormat ]] && continue
    printf '%s=\n' "${line//\$/\\\$}"
  done
}

_kestrova_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  COMPREPLY=()

  # "--set=KEY" arrives as the words "--set", "=", "KEY" (bash splits at "=").
  if [[ $prev == = && COMP_CWORD -ge 2 ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == = ]]; then
    cur=
  fi

  local key
  case $prev in
    -o | --output | --save-settings)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    -s | --settings)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.ksv' -- "$cur")
      return
      ;;
    --preset)
      mapfile -t COMPREPLY < <(compgen -W "$(_kestrova_cli_presets "$program")" -- "$cur")
      return
      ;;
    --set)
      compopt -o nospace 2>/dev/null
      while IFS= read -r key; do
        [[ $key == "$cur"* ]] && COMPREPLY+=("$key")
      done < <(_kestrova_cli_setting_keys "$program")
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    local options
    options=$("$program" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u)
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi

  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -d -- "$cur")
}

complete -F _kestrova_cli kestrova-cli
