# Sourced by the Windows build scripts: Debian source packages for the cross
# builds (FFmpeg, dav1d), the same versions the Linux build links.
# Callers define log().

# The newest version of source package $1 that apt knows, or nothing.
source_version() {
  { apt-cache showsrc "$1" 2>/dev/null || true; } | sed -n 's/^Version: //p' | {
    best=""
    while read -r v; do
      if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    echo "$best"
  } || true
}

# Adds deb-src entries mirroring the machine's Debian deb entries.
add_deb_src() {
  if [ "$(id -u)" -ne 0 ]; then
    log "Debian's source packages are not reachable: add a deb-src entry for your Debian suites and run 'apt-get update' (needs root)."
    exit 1
  fi
  local out=/etc/apt/sources.list.d/zarn-deb-src.sources
  log "adding deb-src entries ($out)"
  : > "$out.new"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*deb([ \n]|$)/ && /debian/ && !/(^|\n)Enabled: *no/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >> "$out.new"
  done
  if [ -f /etc/apt/sources.list ]; then
    # One-line format: turn each "deb ..." line into a deb822 stanza.
    awk '$1 == "deb" && /debian/ {
           i = 2; opts = ""
           if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
           printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i+1)
           for (j = i + 2; j <= NF; j++) printf " %s", $j
           printf "\n\n" }' /etc/apt/sources.list >> "$out.new"
  fi
  mv "$out.new" "$out"
  apt-get update -qq
}

# require_source_version PACKAGE: prints its version, adding deb-src entries
# first when apt knows no source for it.
require_source_version() {
  local v
  v=$(source_version "$1")
  if [ -z "$v" ]; then
    add_deb_src >&2
    v=$(source_version "$1")
  fi
  [ -n "$v" ] || { log "no source package for $1 found"; exit 1; }
  echo "$v"
}

# fetch_source PACKAGE VERSION WORKDIR: unpacks the source into WORKDIR and
# prints the unpacked folder.
fetch_source() {
  local pkg=$1 version=$2 work=$3
  chmod 755 "$work"   # apt-get source downloads as the _apt user
  ( cd "$work" && apt-get source -qq --only-source "$pkg=$version" >/dev/null 2>"$work/source-$pkg.log" ) || {
    cat "$work/source-$pkg.log" >&2; exit 1; }
  find "$work" -maxdepth 1 -type d -name "$pkg-*" | head -1
}

# The cross toolchain's identity, part of every cache key.
toolchain_identity() {
  x86_64-w64-mingw32-gcc-posix --version | head -1
  dpkg-query -W -f='${Package} ${Version}\n' mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix "$@" 2>/dev/null || true
}
