# Sourced by the set-up scripts: makes sure the named Debian packages' tools
# are present.  Usage: require_tools "<check command>:<package>" ...
# Installs what is missing with apt-get when run as root; otherwise names the
# packages to install and exits.
require_tools() {
  local missing=() item check pkg
  for item in "$@"; do
    check=${item%%:*}
    pkg=${item##*:}
    eval "$check" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "Installing missing packages: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing tools: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
}
