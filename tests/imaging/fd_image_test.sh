#!/bin/bash
# Runs fd-image's subcommands on small ImageMagick pictures and checks exit codes, result
# sizes and a few pixels. Usage: fd_image_test.sh PATH-TO-FD-IMAGE
source "$(dirname "${BASH_SOURCE[0]}")/../support/fd_image_checks.sh" "$@"

convert -size 64x48 gradient:red-blue a.bmp || exit 1
convert -size 64x48 gradient:red-blue -quality 95 a.jpg || exit 1

# info and both input formats
expect 0 info a.bmp
grep -q '^bits per pixel: 24$' out.txt || fail "info a.bmp: $(cat out.txt)"
size_is a.bmp 64x48
size_is a.jpg 64x48

# geometry
expect 0 rotate a.jpg r90.jpg 9000
size_is r90.jpg 48x64
expect 0 rotate a.bmp r45.bmp 4500 --fill FF0000
size_is r45.bmp 80x80
[[ $(pixel r45.bmp 0 0) == 255,0,0 ]] || fail "rotate fill corner is $(pixel r45.bmp 0 0)"
expect 0 rotate a.bmp r7.bmp 700 --no-resize
size_is r7.bmp 64x48
expect 0 size a.bmp s.bmp 100 30
size_is s.bmp 100x30
expect 0 size a.jpg s.jpg 17 9 --fast
size_is s.jpg 17x9
expect 0 trim a.bmp t.bmp 10 5 20 30
size_is t.bmp 20x30
expect 0 trim a.bmp tc.bmp 50 40 100 100 # clipped to the picture
size_is tc.bmp 14x8
expect 1 trim a.bmp tn.bmp 64 0 10 10 # nothing left inside

# mirroring twice gives the picture back; once does not
expect 0 contrast a.bmp same.bmp 0
expect 0 flip a.bmp f1.bmp
expect 0 flip f1.bmp f2.bmp
cmp -s f2.bmp same.bmp || fail "flip twice changed the picture"
cmp -s f1.bmp same.bmp && fail "flip left the top-bottom gradient as it was"
expect 0 flip a.bmp m1.bmp --left-right
expect 0 flip m1.bmp m2.bmp --left-right
cmp -s m2.bmp same.bmp || fail "flip --left-right twice changed the picture"

# loaders
expect 0 thumb a.bmp th.jpg 32
size_is th.jpg 32x24
expect 0 thumb a.jpg th.bmp 32
size_is th.bmp 32x24
expect 0 fit a.jpg fit.jpg 20 20 --hq
grep -q '^fitted: 20x15$' out.txt || fail "fit details: $(cat out.txt)"
size_is fit.jpg 20x15
expect 0 fit a.jpg area.jpg 1000 1000 --area 0.25
size_is area.jpg 32x24

# colour operations, and their range checks reported as failures
for op in contrast intensity saturation; do
    expect 0 "$op" a.bmp "$op.bmp" 300
    expect 1 "$op" a.bmp "$op.bmp" 1001
    grep -q '^result: -13$' out.txt || fail "$op 1001: $(cat out.txt)"
done
expect 0 hue a.bmp hue.bmp 120
expect 0 balance a.bmp bal0.bmp 0 0 0
cmp -s bal0.bmp same.bmp || fail "balance 0 0 0 changed the picture"
expect 0 balance a.bmp bal.bmp -500 200 0
[[ $(pixel bal.bmp 0 0) == "$(pixel a.bmp 0 0)" ]] && fail "balance left red as it was"
expect 0 autocolor a.bmp ac.bmp
expect 0 autocolor a.bmp acc.bmp --contrast --brightness
expect 0 desaturate a.bmp grey.bmp
read -r r g b <<<"$(pixel grey.bmp 0 0 | tr , ' ')"
[[ $r == "$g" && $g == "$b" ]] || fail "desaturate left $r,$g,$b"

# red-eye: the red top rows lose their red inside the ellipse only
convert -size 40x40 xc:'#E01010' red.bmp || exit 1
expect 0 redeye red.bmp eye.bmp 0 0 40 40 --color 000000
read -r r g b <<<"$(pixel eye.bmp 20 20 | tr , ' ')"
((r < 100)) || fail "redeye left the centre at $r,$g,$b"
[[ $(pixel eye.bmp 0 0) == "$(pixel red.bmp 0 0)" ]] || fail "redeye changed a corner outside"

# failures exit 1 with the library's text
expect 1 info missing.jpg
grep -q 'LT Error -10' err.txt || fail "missing file: $(cat err.txt)"
expect 1 rotate missing.jpg x.jpg 9000
expect 1 thumb missing.jpg x.jpg 32
printf '\xff\xd8\xff\xe0garbage that is no JPEG at all' >corrupt.jpg
expect 1 size corrupt.jpg x.jpg 10 10
expect 1 fit corrupt.jpg x.jpg 10 10
: >empty.bmp
expect 1 desaturate empty.bmp x.bmp
expect 1 contrast a.bmp no/such/folder/x.bmp 10
grep -q '^result: -5$' out.txt || fail "unwritable output: $(cat out.txt)"

# bad usage exits 2 before touching any file
expect 2
expect 2 frobnicate a.bmp x.bmp
expect 2 rotate a.bmp x.bmp
expect 2 rotate a.bmp x.bmp 90 extra
expect 2 rotate a.bmp x.bmp ninety
expect 2 rotate a.bmp x.bmp 9000 --fill red
expect 2 rotate a.bmp x.png 9000
expect 2 flip a.bmp x.bmp --sideways
expect 2 fit a.jpg x.jpg 10 10 --area
[[ -e x.bmp || -e x.png || -e x.jpg ]] && fail "a usage error wrote a file"

finish fd-image
