# Shell functions the tools share (packages, Debian sources, Qt for Windows);
# sourced, not run.
#   need_packages pkg...            installs missing Debian packages as root,
#                                   else prints the command and fails
#   source_version pkg              the source version of an installed package
#   fetch_source pkg version dir    unpacks Debian's source of pkg under dir
#   logged log command...           runs command with its output in log; on a
#                                   failure shows the log's end and fails
# Sourcing it also makes a script that stops say why: a command whose failure
# ends it (set -e) is named on standard error with its status and line, where
# set -e alone ends the script without a word after a quiet command (find in
# a pipe, a tool whose output goes to /dev/null).

set -E
trap '_stopped_by $? "$BASH_COMMAND" "$LINENO" "${BASH_SOURCE[0]}"' ERR
_stopped_by() {  # status command line file
  # A subshell's failure is named where it ends the script, once.
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  local command=$2
  [ ${#command} -le 160 ] || command="${command:0:157}..."
  echo "$(basename "$0"): stopped: '$command' failed with status $1 ($4, line $3)" >&2
}

need_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local cmd="apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && $cmd" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -q
  DEBIAN_FRONTEND=noninteractive $cmd
}

logged() {  # log command...
  local log=$1 status=0
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >"$log" 2>&1 || status=$?
  [ "$status" -eq 0 ] && return 0
  tail -n 30 "$log" >&2
  echo "$(basename "$0"): '$*' failed with status $status; its whole output: $log" >&2
  exit "$status"
}

source_version() {  # the version of the Linux library, so both builds match
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}

# apt options for a deb-src list of the machine's own mirrors, kept in
# $1/apt so the system's lists stay as they are.
_source_apt_options() {
  local apt_dir=$1/apt
  rm -rf "$apt_dir" && mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt_dir/sources.list"
  else
    : >"$apt_dir/sources.list"
  fi
  local f
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    case $f in
      *.sources) sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/parts/$(basename "$f")" ;;
      *.list) sed -n 's/^deb /deb-src /p' "$f" >"$apt_dir/parts/$(basename "$f")" ;;
    esac
  done
  apt_opts=(-o Dir::Etc::sourcelist="$apt_dir/sources.list"
            -o Dir::Etc::sourceparts="$apt_dir/parts"
            -o Dir::State::Lists="$apt_dir/lists"
            -o Dir::Cache="$apt_dir/cache"
            -o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" update -q >/dev/null
}

fetch_source() {  # package version dir -> unpacked folder under dir/src
  local package=$1 version=$2 dir=$3 apt_opts
  _source_apt_options "$dir"
  mkdir -p "$dir/src"
  # The given version first, else the newest one a mirror still holds.
  local candidates=("$version") v log=$dir/apt/source.log
  mapfile -t -O 1 candidates < <(apt-cache "${apt_opts[@]}" showsrc "$package" |
    sed -n 's/^Version: //p' | sort -rV)
  : >"$log"
  for v in "${candidates[@]}"; do
    [ -n "$v" ] || continue
    if (cd "$dir/src" && apt-get "${apt_opts[@]}" source -q "$package=$v" >"$log" 2>&1); then
      rm -rf "$dir/apt"
      return 0
    fi
    rm -rf "${dir:?}/src/${package:?}"*
  done
  # The last try's own words: no network, no such version, no deb-src mirror.
  tail -n 5 "$log" >&2
  echo "$(basename "$0"): no source of $package could be fetched (versions tried: ${candidates[*]})" >&2
  exit 1
}

# Where tools/windows-qt keeps Qt built for Windows: one folder a Qt version
# (Debian's, whose tools build it) and recipe, so a changed recipe builds anew.
windows_qt_recipe=1
windows_qt_dir() {
  echo "${XDG_CACHE_HOME:-$HOME/.cache}/imgconvert/windows-qt-$(source_version qt6-base-dev)-$windows_qt_recipe"
}

# Puts beside programs in dest what they need of Qt for Windows in qt: the
# DLLs, the platforms (windows, and offscreen for tests), the Windows style,
# Windows' TLS for the updates, and Qt's own words in simplified Chinese
# (Debian's, the same for every system). The DLLs carry their runtime.
windows_qt_runtime() {  # qt dest [Test]
  local qt=$1 dest=$2 module
  shift 2
  mkdir -p "$dest/platforms" "$dest/styles" "$dest/tls" "$dest/translations"
  for module in Core Gui Widgets Network "$@"; do
    cp -u "$qt/bin/Qt6$module.dll" "$dest/"
  done
  cp -u "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$dest/platforms/"
  cp -u "$qt/plugins/styles/qwindowsvistastyle.dll" "$dest/styles/"
  cp -u "$qt/plugins/tls/qschannelbackend.dll" "$dest/tls/"
  cp -u /usr/share/qt6/translations/qtbase_zh_CN.qm "$dest/translations/"
}
