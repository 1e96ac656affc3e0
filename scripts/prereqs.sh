# Sourced by the other scripts: makes sure the packages a build needs are
# installed, installing them with apt-get when run as root.
#
#   require_packages PACKAGE:CHECK ...
# CHECK is a command name, or a file path (starting with /) that the package
# provides.

require_packages() {
    local missing=() entry package check
    for entry in "$@"; do
        package=${entry%%:*}
        check=${entry#*:}
        if [[ $check == /* ]]; then
            [[ -e $check ]] || missing+=("$package")
        else
            command -v "$check" >/dev/null 2>&1 || missing+=("$package")
        fi
    done
    ((${#missing[@]} == 0)) && return 0
    install_packages "${missing[@]}"
}

# Installs PACKAGE unless the check command after it succeeds: for what only
# a tool can find, such as a compiler's own runtime.
#   require_package_unless PACKAGE COMMAND [ARG...]
require_package_unless() {
    local package=$1
    shift
    "$@" >/dev/null 2>&1 || install_packages "$package"
}

install_packages() {
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
        echo "installing $*"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
        return 0
    fi
    echo "missing packages: $*" >&2
    echo "run: sudo apt-get update && sudo apt-get install -y $*" >&2
    exit 1
}

# The native toolchain every build needs.
BUILD_PACKAGES=(cmake:cmake g++:g++ make:make)
# libxml2 checks that every XML dialect is well-formed, in process and, with
# xmllint, as the tool writes it.
TEST_PACKAGES=(libgtest-dev:/usr/include/gtest/gtest.h libxml2-dev:/usr/include/libxml2/libxml/parser.h
    libxml2-utils:xmllint)

jobs() { nproc 2>/dev/null || echo 2; }
