# Fetches a Debian source package into a folder of the project's, through a
# private deb-src list of the machine's own Debian mirrors: the system's apt
# configuration is not changed. Source with `. scripts/lib/debian-source.sh`.
#
#   debian_source PACKAGE DEST   unpacks PACKAGE's source into DEST/<package>-<version>/
#                                and prints that folder; kept there for the next call

debian_source_lists() {
    state="$KPL_ROOT/build/apt-src"
    if [ ! -s "$state/sources.list" ]; then
        mkdir -p "$state/lists/partial"
        # The mirrors and suites of the machine's binary lists, as deb-src.
        { cat /etc/apt/sources.list 2>/dev/null
          cat /etc/apt/sources.list.d/*.list 2>/dev/null
        } | sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\(.*\)/deb-src \1\2/p' >"$state/sources.list"
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk '/^Types:/ { types = $0 } /^URIs:/ { uri = $2 } /^Suites:/ { $1 = ""; suites = $0 }
                 /^Components:/ { $1 = ""; comps = $0 }
                 /^$/ { if (types ~ /deb/ && uri ~ /debian/) { n = split(suites, s, " "); for (i = 1; i <= n; i++) print "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] " uri " " s[i] comps } types = uri = "" }
                 END { if (types ~ /deb/ && uri ~ /debian/) { n = split(suites, s, " "); for (i = 1; i <= n; i++) print "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] " uri " " s[i] comps } }' "$f"
        done >>"$state/sources.list"
        grep -v 'google\|nodesource' "$state/sources.list" >"$state/sources.list.new" || true
        mv "$state/sources.list.new" "$state/sources.list"
    fi
    echo "-o Dir::Etc::SourceList=$state/sources.list -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists=$state/lists -o Dir::Cache=$state/cache"
}

debian_source() {
    package=$1
    dest=$2
    mkdir -p "$dest"
    found=$(find "$dest" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
    if [ -n "$found" ]; then
        echo "$found"
        return 0
    fi
    options=$(debian_source_lists)
    # shellcheck disable=SC2086
    if [ ! -d "$KPL_ROOT/build/apt-src/lists" ] || [ -z "$(ls "$KPL_ROOT/build/apt-src/lists" | grep -v partial)" ]; then
        mkdir -p "$KPL_ROOT/build/apt-src/cache/archives/partial"
        apt-get $options -q update >&2 || return 1
    fi
    # shellcheck disable=SC2086
    (cd "$dest" && apt-get $options -q source "$package" >&2) || return 1
    find "$dest" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1
}
