# Shared by the fd-image shell tests: sourced with the tool's path as its argument, it runs
# the test in a temporary folder and gives it fail, expect, size_is, pixel and finish.
set -uo pipefail
tool=$(realpath "${1:?usage: $(basename "$0") PATH-TO-FD-IMAGE}") || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect CODE ARGS...: runs the tool and checks its exit code.
expect()
{
    local code=$1
    shift
    "$tool" "$@" >out.txt 2>err.txt
    local got=$?
    [[ $got == "$code" ]] || fail "fd-image $* exited $got, expected $code: $(cat err.txt)"
}

# size_is FILE WxH: the picture's size as fd-image info reads it.
size_is()
{
    local got
    got=$("$tool" info "$1" | awk '/^width:/ {w = $2} /^height:/ {h = $2} END {print w "x" h}')
    [[ $got == "$2" ]] || fail "$1 is $got, expected $2"
}

# pixel FILE X Y: "r,g,b" of one pixel, read by ImageMagick.
pixel()
{
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# finish WHAT: reports and exits with the result.
finish()
{
    if ((failures)); then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all $1 checks passed"
    exit 0
}
