# Installs the Debian packages Quillmark needs to build, run and test, when any of them is missing.
# Sourced by tools/run and tools/test.

quillmark_packages="cmake ninja-build g++ qt6-base-dev libglib2.0-dev libgtest-dev gettext xvfb xauth xdotool xclip desktop-file-utils appstream man-db groff-base dpkg-dev libxml2-utils lintian"

quillmark_install_deps() {
    local missing=""
    local p
    for p in $quillmark_packages; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}
