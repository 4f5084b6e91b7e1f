#!/usr/bin/env bash
# Unpacks the Debian source packages named after DIR into DIR, once each:
# the very sources, Debian's patches applied, of the libraries zwpconv decodes
# with on this release, so that the page compiles the same decoders.
# Uses the machine's own Debian sources (as deb-src) in a private apt state;
# the system's apt configuration is not touched.
set -euo pipefail
dir=$1; shift
mkdir -p "$dir"
missing=()
for p in "$@"; do compgen -G "$dir/$p-[0-9]*/" >/dev/null || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0

state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
mkdir -p "$state/lists/partial" "$state/cache"
# Debian's own entries of the system's lists, for sources rather than binaries.
/usr/bin/python3 - "$state/sources.list" <<'PY'
import glob, re, sys
debian = re.compile(r"/debian(-security)?/?$")
lines = []
for path in ["/etc/apt/sources.list", *glob.glob("/etc/apt/sources.list.d/*.list")]:
    try:
        for line in open(path):
            m = re.match(r"\s*deb\s+(\[[^]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)", line)
            if m and debian.search(m.group(2)):
                lines.append(f"deb-src {m.group(2)} {m.group(3)} {m.group(4).strip()}")
    except OSError:
        pass
for path in glob.glob("/etc/apt/sources.list.d/*.sources"):
    for stanza in open(path).read().split("\n\n"):
        fields = dict(re.findall(r"^([\w-]+):[ \t]*(.*)$", stanza, re.M))
        for uri in filter(debian.search, fields.get("URIs", "").split()):
            for suite in fields.get("Suites", "").split():
                lines.append(f"deb-src {uri} {suite} {fields.get('Components', 'main')}")
open(sys.argv[1], "w").write("\n".join(dict.fromkeys(lines)) + "\n")
PY
apt=(-o "Dir::Etc::SourceList=$state/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache" -o APT::Sandbox::User=root)
apt-get "${apt[@]}" -qq update
cd "$dir"
# Unpacks a source package whose .dsc a mirror lacks, from the tarballs apt
# fetched and checked against the index anyway: as dpkg-source would, the
# Debian tarball over the original one and the patches of its series applied.
unpack_without_dsc() {
  local p=$1 orig debian version
  orig=$(compgen -G "${p}_*.orig.tar.*" | head -1) && debian=$(compgen -G "${p}_*.debian.tar.*" | head -1) || return 1
  version=${orig#"${p}_"}
  version=${version%.orig.tar.*}
  mkdir "$p-$version"
  tar -xf "$orig" -C "$p-$version" --strip-components=1
  tar -xf "$debian" -C "$p-$version"
  [ -f "$p-$version/debian/patches/series" ] || return 0
  grep -v '^[[:space:]]*\(#\|$\)' "$p-$version/debian/patches/series" | while read -r patch _; do
    patch -d "$p-$version" -p1 -s <"$p-$version/debian/patches/$patch"
  done
}
for p in "${missing[@]}"; do
  apt-get "${apt[@]}" -qq source "$p" >/dev/null 2>&1 || unpack_without_dsc "$p" || apt-get "${apt[@]}" source "$p"
done
rm -f ./*.dsc ./*.tar.* ./*.asc
