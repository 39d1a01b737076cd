#!/bin/sh
# run-validator.sh PACKAGE TOOL ARGS...: runs a validator from a Debian package, or says that
# it is missing and exits 77, which ctest counts as skipped.
package=$1
shift
if ! command -v "$1" >/dev/null; then
    echo "SKIPPED: $1 is missing; install the Debian package $package (scripts/install-deps.sh)"
    exit 77
fi
exec "$@"
