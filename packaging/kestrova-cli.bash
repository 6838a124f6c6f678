# bash completion for kestrova-cli
#
# The options, the setting keys and their values are asked of the program
# itself (--help, --help-keys, --list-values), so the completion always
# matches the installed version.

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
  "$1" --help-keys 2>/dev/null | while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line =~ ^\ \ ([^ ]+)$ ]] || continue
    line=${BASH_REMATCH[1]}
    [[ $line == OutputFormat ]] && continue
    printf '%s=\n' "${line//\$/\\\$}"
  done
}

# The values that an option or a setting key takes, that start with $3.
_kestrova_cli_values() {
  local value
  while IFS= read -r value; do
    value=${value%$'\r'}
    [[ $value == "$3"* ]] && COMPREPLY+=("$value")
  done < <("$1" --list-values "$2" 2>/dev/null)
}

# The key whose value is being typed after "--set KEY=", if it is.
_kestrova_cli_set_key() {
  local at=$COMP_CWORD
  if [[ ${COMP_WORDS[at]} != = ]]; then
    at=$((at - 1))
    [[ ${COMP_WORDS[at]} == = ]] || return
  fi
  local key=${COMP_WORDS[at - 1]:-} option=${COMP_WORDS[at - 2]:-}
  [[ $option == = ]] && option=${COMP_WORDS[at - 3]:-}
  [[ $option == --set && $key != --set ]] && printf '%s' "$key"
}

_kestrova_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  COMPREPLY=()

  # bash splits words at "=": "--set=KEY" arrives as "--set", "=", "KEY",
  # and "--set KEY=VALUE" as "--set", "KEY", "=", "VALUE".
  local set_key
  set_key=$(_kestrova_cli_set_key)
  if [[ $cur == = ]]; then
    cur=
  elif [[ $prev == = && COMP_CWORD -ge 2 ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  if [[ -n $set_key ]]; then
    _kestrova_cli_values "$program" "${set_key//\\/}" "$cur"
    return
  fi

  local key
  case $prev in
    -o | --output | --save-settings | --from | --checksum-cache | --verify | --compare)
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
    --base-url)
      return
      ;;
    --sort | --format | --time-style | --checksum | --from-kind)
      _kestrova_cli_values "$program" "${prev#--}" "$cur"
      return
      ;;
    --columns)
      # A list: after the last comma, the words not yet in it.
      local done=${cur%"${cur##*,}"} value
      compopt -o nospace 2>/dev/null
      while IFS= read -r value; do
        [[ ,$done == *",$value,"* ]] && continue
        [[ $done$value == "$cur"* ]] && COMPREPLY+=("$done$value")
      done < <("$program" --list-values columns 2>/dev/null)
      return
      ;;
    -L | --max-depth | --threads | --title)
      # A number or a text: nothing on disk to offer.
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
