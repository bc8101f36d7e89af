# Installs the Debian packages the build and the tests need; quiet and idempotent.
# Usage: source scripts/deps.sh; quorvel_need pkg...
quorvel_need() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if ! $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/tmp/quorvel-apt.log 2>&1; then
        $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq >>/tmp/quorvel-apt.log 2>&1
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >>/tmp/quorvel-apt.log 2>&1 || {
            echo "apt-get install failed; see /tmp/quorvel-apt.log" >&2
            return 1
        }
    fi
}

QUORVEL_BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
    libproj-dev proj-data proj-bin libpugixml-dev nlohmann-json3-dev libmecab-dev mecab-ipadic-utf8 libxml2-utils zlib1g-dev libminizip-dev
    fonts-ipafont-gothic  # the Qt dialog test checks the Japanese dialog font
    skkdic-extra)  # place names with readings people wrote (GPL: read by the reading test, never copied)
