# Sourced by the web scripts: install_missing NAME PACKAGE:COMMAND-OR-FILE...
# installs, from Debian, each package whose command (or, for an absolute
# path, file) is missing, running apt-get only when something is; root or
# sudo is needed then. Looking for the command rather than the package
# leaves a node or an emscripten from elsewhere alone.
install_missing() {
  local name=$1 need pkg what
  shift
  local missing=()
  for need in "$@"; do
    pkg=${need%%:*} what=${need#*:}
    if [[ $what == /* ]]; then [[ -e $what ]] && continue; else command -v "$what" >/dev/null && continue; fi
    [[ " ${missing[*]} " == *" $pkg "* ]] || missing+=("$pkg")
  done
  ((${#missing[@]})) || return 0
  echo "$name: installing ${missing[*]}"
  local sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null || { echo "$name: need root (or sudo) to install ${missing[*]}" >&2; return 1; }
    sudo=(sudo)
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
