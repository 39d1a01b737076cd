#!/bin/bash
# fd-image edit: steps run through the edit engine and the picture is saved; a bad step list
# is a usage error, a step or a save that fails exits 1 and writes nothing.
# Usage: fd_image_edit_test.sh PATH-TO-FD-IMAGE
source "$(dirname "${BASH_SOURCE[0]}")/../support/fd_image_checks.sh" "$@"

convert -size 320x240 gradient:red-blue -quality 95 in.jpg || exit 1

expect 0 edit in.jpg out.jpg rotate:90 crop:10,20,100,200 colors:0,100,0,0,0,0,0 auto:1,0,0 \
    grey redeye:5,5,20,20 flip:h resize:50,100 rotate:-7.5
grep -q '^crop:10,20,100,200: 100x200$' out.txt || fail "crop size not reported: $(cat out.txt)"
grep -q '^resize:50,100: 50x100$' out.txt || fail "resize size not reported: $(cat out.txt)"
"$tool" info out.jpg | grep -q '^width: 6[0-9]$' || fail "the fine turn did not grow the canvas"
"$tool" info out.jpg | grep -q '^orientation: 1$' || fail "saved picture not upright"

expect 0 edit in.jpg out.bmp flip:v
[[ $(head -c 2 out.bmp) == BM ]] || fail "a .bmp name is not saved as BMP"

expect 2 edit in.jpg bad.jpg rotate:abc
expect 2 edit in.jpg bad.jpg
expect 2 edit in.jpg bad.png grey
expect 1 edit in.jpg bad.jpg crop:1000,1000,5,5
expect 1 edit missing.jpg bad.jpg grey
[[ -e bad.jpg ]] && fail "a failed edit wrote its output"

cp in.jpg locked.jpg && chmod 0444 locked.jpg
expect 1 edit locked.jpg locked.jpg grey
grep -q 'File is read-only.' err.txt || fail "read-only file not reported: $(cat err.txt)"
cmp -s in.jpg locked.jpg || fail "the read-only file was changed"

finish "fd-image edit"
