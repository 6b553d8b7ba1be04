#!/usr/bin/env bash
# Attacks brindle-cli's saving as a hostile user would, and counts for each case how
# often it was tried and how often the promise held: kill -9 at random moments of a
# large write followed by a recovery, two writers at once, a writer against an
# appending process, a tag size claiming more than the file, a nearly full ext2 file
# system, a FIFO, a socket and a folder named .mp3, read-only files.
#
#   tests/hostile/hostile.sh [path/to/brindle-cli]     # full run (a few minutes)
#   SHORT=1 tests/hostile/hostile.sh build/src/cli/brindle-cli   # the CI form (< 1 min)
#
# Exit status 0 when every case held, 1 otherwise. Cases that need root (the loop
# mount, dropping rights) are skipped with a note where that is not possible.
set -u

CLI=${1:-$(dirname "$0")/../../build/src/cli/brindle-cli}
CLI=$(readlink -f "$CLI")
[ -x "$CLI" ] || { echo "no brindle-cli at $CLI" >&2; exit 2; }
SHORT=${SHORT:-0}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/brindle-hostile-XXXXXX")
chmod 755 "$WORK"
MOUNTED=""
cleanup() {
    [ -n "$MOUNTED" ] && umount "$MOUNTED" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
# A journal of its own, so that the checks see only this script's saves.
export XDG_STATE_HOME="$WORK/state"
JOURNAL="$XDG_STATE_HOME/brindle/saves"
export PYTHONDONTWRITEBYTECODE=1
FAILED=0
SUMMARY=""

report() { # name tried held [note]
    SUMMARY+=$(printf '%-34s %6s %6s  %s' "$1" "$2" "$3" "${4:-}")$'\n'
    [ "$2" = "$3" ] || FAILED=1
}
leftovers() { ls -A "$JOURNAL" 2>/dev/null | wc -l; }
sha() { sha256sum "$1" | cut -c1-64; }

# make_mp3 PATH AUDIO_KIB [TITLE]: an ID3v2.3 tag with a title, MPEG frames, an ID3v1 tag.
make_mp3() {
    python3 - "$@" <<'EOF'
import sys
path, kib = sys.argv[1], int(sys.argv[2])
title = (sys.argv[3] if len(sys.argv) > 3 else "Old title").encode()
def synchsafe(n): return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])
frame = b"TIT2" + (len(title) + 1).to_bytes(4, "big") + b"\0\0" + b"\0" + title
body = frame + b"\0" * 256
tag = b"ID3\x03\x00\x00" + synchsafe(len(body)) + body
unit = b"\xff\xfb\x90\x00" + bytes(range(256)) + b"\x55" * 157   # 417-byte 128 kbit/s frames
count = kib * 1024 // len(unit) + 1
v1 = b"TAG" + title[:30].ljust(30, b"\0") + b"\0" * 94 + b"\xff"
open(path, "wb").write(tag + unit * count + v1)
EOF
}
# audio_sha PATH: hash of the bytes between the ID3v2 tag and the ID3v1 tag.
audio_sha() {
    python3 - "$1" <<'EOF'
import hashlib, sys
d = open(sys.argv[1], "rb").read()
start = 0
if d[:3] == b"ID3":
    s = d[6:10]
    start = 10 + ((s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3])
end = len(d) - 128 if d[-128:-125] == b"TAG" else len(d)
if d[end - 9:end] == b"LYRICS200":
    end -= 15 + int(d[end - 15:end - 9])
print(hashlib.sha256(d[start:end]).hexdigest())
EOF
}
field() { "$CLI" show --json "$1" | python3 -c "import json,sys; print(json.load(sys.stdin)['$2'])"; }

# --- 1. kill -9 at random moments of a large write, then any later run recovers
kill_case() {
    local kib=$1 rounds=$2 dir=$WORK/kill
    mkdir -p "$dir"
    make_mp3 "$dir/orig.mp3" "$kib"
    local title
    title=$(python3 -c "print('New title ' + 'x' * 3000)")
    cp "$dir/orig.mp3" "$dir/new.mp3"
    "$CLI" set --set "Title=$title" "$dir/new.mp3" || { report "kill -9 during a write" 0 1 "set failed"; return; }
    local old new
    old=$(sha "$dir/orig.mp3")
    new=$(sha "$dir/new.mp3")
    # How long one write takes, so that the kills land all over it.
    cp "$dir/orig.mp3" "$dir/a.mp3"
    local t0 t1 span
    t0=$(date +%s%N)
    "$CLI" set --set "Title=$title" "$dir/a.mp3"
    t1=$(date +%s%N)
    span=$(( (t1 - t0) / 1000 + 1 ))
    local tried=0 held=0 olds=0 news=0 recovered=0
    # Kill moments are drawn from [0, window]; the window shrinks after a write that
    # ended before its kill and grows after one killed before it touched the file,
    # so the kills spread over every phase whatever the machine's speed.
    local window=$((span * 11 / 10)) delays
    read -r -a delays <<<"$(python3 -c "import random; print(' '.join('%.6f' % random.random() for _ in range($rounds)))")"
    for ((i = 0; i < rounds; i++)); do
        cp "$dir/orig.mp3" "$dir/a.mp3"
        sync -f "$dir/a.mp3"
        "$CLI" set --set "Title=$title" "$dir/a.mp3" 2>/dev/null &
        local pid=$!
        sleep "$(awk "BEGIN { printf \"%.6f\", ${delays[$i]} * $window / 1e6 }")"
        kill -9 $pid 2>/dev/null
        wait $pid 2>/dev/null
        # Any later command that meets the file deals with the interrupted save first.
        local notes
        # (every third round the explicit "recover" instead)
        if ((i % 3 == 2)); then notes=$("$CLI" recover "$dir" 2>&1 | grep -v "no interrupted saves")
        elif ((i % 2)); then notes=$("$CLI" show "$dir/a.mp3" 2>&1 >/dev/null); else notes=$("$CLI" list "$dir" 2>&1 >/dev/null); fi
        [ -n "$notes" ] && recovered=$((recovered + 1))
        local now
        now=$(sha "$dir/a.mp3")
        tried=$((tried + 1))
        if [ "$now" = "$old" ] || [ "$now" = "$new" ]; then
            if [ "$(leftovers)" -eq 0 ]; then
                held=$((held + 1))
            else
                echo "kill round $i: copies left behind: $(ls "$JOURNAL")" >&2
            fi
        else
            echo "kill round $i: the file is neither old nor new" >&2
        fi
        [ "$now" = "$old" ] && olds=$((olds + 1)) && window=$((window * 5 / 4))
        [ "$now" = "$new" ] && news=$((news + 1)) && [ -z "$notes" ] && window=$((window * 3 / 4))
        rm -f "$JOURNAL"/*
    done
    report "kill -9 during a ${kib} KiB write" "$tried" "$held" "old $olds, new $news; recovery spoke $recovered times"
}

# --- 2. two writers at once: each edits another field; both edits survive whatever exits 0
writers_case() {
    local kib=$1 rounds=$2 dir=$WORK/writers
    mkdir -p "$dir"
    make_mp3 "$dir/orig.mp3" "$kib"
    local audio long tried=0 held=0
    audio=$(audio_sha "$dir/orig.mp3")
    long=$(python3 -c "print('T' * 5000)")
    for ((i = 0; i < rounds; i++)); do
        cp "$dir/orig.mp3" "$dir/a.mp3"
        "$CLI" set --set "Title=$long" "$dir/a.mp3" 2>/dev/null & local p1=$!
        "$CLI" set --set "Artist=Short" "$dir/a.mp3" 2>/dev/null & local p2=$!
        wait $p1; local r1=$?
        wait $p2; local r2=$?
        tried=$((tried + 1))
        local ok=1
        [ "$(audio_sha "$dir/a.mp3")" = "$audio" ] || { ok=0; echo "writers round $i: audio changed" >&2; }
        if [ $r1 -eq 0 ] && [ "$(field "$dir/a.mp3" Title)" != "$long" ]; then ok=0; echo "writers round $i: title lost" >&2; fi
        if [ $r2 -eq 0 ] && [ "$(field "$dir/a.mp3" Artist)" != "Short" ]; then ok=0; echo "writers round $i: artist lost" >&2; fi
        [ "$(leftovers)" -eq 0 ] || ok=0
        held=$((held + ok))
    done
    report "two writers on one ${kib} KiB file" "$tried" "$held"
}

# --- 3. a writer against a process appending to the file
appender_case() {
    local kib=$1 rounds=$2 dir=$WORK/append
    mkdir -p "$dir"
    make_mp3 "$dir/orig.mp3" "$kib"
    local tried=0 held=0 refused=0
    for ((i = 0; i < rounds; i++)); do
        cp "$dir/orig.mp3" "$dir/a.mp3"
        rm -f "$dir/started"
        python3 - "$dir/a.mp3" "$dir/markers" "$dir/started" <<'EOF' &
import os, sys, time
path, out, started = sys.argv[1], sys.argv[2], sys.argv[3]
markers = []
for n in range(150):
    m = b"<<appended %d %d>>" % (os.getpid(), n)
    with open(path, "ab") as f:
        f.write(m + b"\0" * 16000)
    markers.append(m)
    if n == 0:
        open(started, "w").close()
    time.sleep(0.003)
open(out, "wb").write(b"\n".join(markers))
EOF
        local ap=$! waited=0
        # The write starts once the appender is running.
        while [ ! -e "$dir/started" ] && [ $waited -lt 2000 ]; do sleep 0.005; waited=$((waited + 1)); done
        "$CLI" set --set "Title=Appended against" "$dir/a.mp3" 2>"$dir/err"
        local r=$?
        wait $ap
        tried=$((tried + 1))
        local ok
        ok=$(python3 - "$dir/a.mp3" "$dir/markers" <<'EOF'
import sys
d = open(sys.argv[1], "rb").read()
print(int(all(m in d for m in open(sys.argv[2], "rb").read().split(b"\n"))))
EOF
)
        if [ $r -eq 0 ]; then
            [ "$(field "$dir/a.mp3" Title)" = "Appended against" ] || ok=0
        else
            grep -q "was changed by another program while it was being saved" "$dir/err" && refused=$((refused + 1))
        fi
        [ "$ok" = 1 ] || echo "append round $i: appended data lost (set exit $r)" >&2
        [ "$(leftovers)" -eq 0 ] || ok=0
        held=$((held + ok))
    done
    report "writer against an appender" "$tried" "$held" "refused as changed $refused times"
}

# --- 4. a tag size claiming more than the file
claim_case() {
    local dir=$WORK/claim tried=0 held=0
    mkdir -p "$dir"
    make_mp3 "$dir/a.mp3" 2048
    python3 - "$dir/a.mp3" <<'EOF'
import sys
p = sys.argv[1]; d = bytearray(open(p, "rb").read())
n = 8 << 20
d[6:10] = bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])
open(p, "wb").write(d)
EOF
    local before
    before=$(sha "$dir/a.mp3")
    for cmd in strip "set --set Title=x"; do
        tried=$((tried + 1))
        # shellcheck disable=SC2086
        if ! "$CLI" $cmd "$dir/a.mp3" 2>/dev/null && [ "$(sha "$dir/a.mp3")" = "$before" ]; then held=$((held + 1)); fi
    done
    report "tag size past the end of the file" "$tried" "$held"
}

# --- 5. a nearly full ext2 file system (no reservation possible)
ext2_case() {
    if [ "$(id -u)" != 0 ] || ! command -v mkfs.ext2 >/dev/null; then
        report "nearly full ext2" 0 0 "skipped: needs root and mkfs.ext2"
        return
    fi
    local img=$WORK/ext2.img mnt=$WORK/ext2
    mkdir -p "$mnt"
    truncate -s 48M "$img"
    mkfs.ext2 -q -m 0 -F "$img" >/dev/null 2>&1
    if ! mount -o loop "$img" "$mnt" 2>/dev/null; then
        report "nearly full ext2" 0 0 "skipped: cannot mount a loop file system here"
        return
    fi
    MOUNTED=$mnt
    make_mp3 "$mnt/orig.mp3" 4096
    local lyrics tried=0 held=0 written=0
    lyrics=$(python3 -c "print('L' * 120000)")
    cp "$mnt/orig.mp3" "$WORK/ext2-new.mp3"
    "$CLI" set --set "Lyrics=$lyrics" "$WORK/ext2-new.mp3"
    local old new
    old=$(sha "$mnt/orig.mp3")
    new=$(sha "$WORK/ext2-new.mp3")
    local levels="0 8 16 32 64 96 112 120 124 128 136 160 256"
    [ "$SHORT" = 1 ] && levels="0 64 120 128 256"
    for left in $levels; do
        cp "$mnt/orig.mp3" "$mnt/a.mp3"
        rm -f "$mnt/filler"
        # Fill the file system, then free "left" KiB.
        dd if=/dev/zero of="$mnt/filler" bs=4k 2>/dev/null
        [ "$left" -gt 0 ] && truncate -s "-${left}K" "$mnt/filler"
        sync -f "$mnt/filler"
        "$CLI" set --set "Lyrics=$lyrics" "$mnt/a.mp3" 2>"$WORK/ext2-err"
        local r=$? now
        now=$(sha "$mnt/a.mp3")
        tried=$((tried + 1))
        if { [ $r -eq 0 ] && [ "$now" = "$new" ]; } || { [ $r -ne 0 ] && [ "$now" = "$old" ]; }; then
            held=$((held + 1))
        else
            echo "ext2 with ${left} KiB free: exit $r, file $( [ "$now" = "$old" ] && echo old || echo damaged): $(cat "$WORK/ext2-err")" >&2
        fi
        [ $r -eq 0 ] && written=$((written + 1))
    done
    umount "$mnt" && MOUNTED=""
    report "nearly full ext2" "$tried" "$held" "written $written, refused $((tried - written))"
}

# --- 6. a FIFO, a socket and a folder named .mp3: refused, nothing hangs
odd_case() {
    local dir=$WORK/odd tried=0 held=0
    mkdir -p "$dir/folder.mp3"
    mkfifo "$dir/fifo.mp3"
    python3 -c "import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])" "$dir/socket.mp3"
    for name in fifo.mp3 socket.mp3 folder.mp3; do
        for cmd in show strip "set --set Title=x" "art --extract $dir/out"; do
            tried=$((tried + 1))
            # shellcheck disable=SC2086
            timeout 10 "$CLI" $cmd "$dir/$name" >/dev/null 2>&1
            local r=$?
            if [ $r -ne 0 ] && [ $r -ne 124 ]; then held=$((held + 1)); else echo "$cmd $name: exit $r" >&2; fi
        done
    done
    tried=$((tried + 1))
    timeout 10 "$CLI" list "$dir" >/dev/null 2>&1 && held=$((held + 1))
    tried=$((tried + 1))
    make_mp3 "$dir/real.mp3" 16
    timeout 10 "$CLI" set --set "Title=x" --add "AttachedPictures=$dir/fifo.mp3" "$dir/real.mp3" >/dev/null 2>&1
    [ $? -ne 124 ] && held=$((held + 1))
    report "FIFO, socket, folder named .mp3" "$tried" "$held"
}

# --- 7. read-only files: refused and unchanged, mode kept
readonly_case() {
    local dir=$WORK/ro tried=0 held=0
    mkdir -p "$dir"
    chmod 777 "$dir"
    make_mp3 "$dir/a.mp3" 64
    chmod 444 "$dir/a.mp3"
    local before run=()
    before=$(sha "$dir/a.mp3")
    if [ "$(id -u)" = 0 ]; then
        if command -v setpriv >/dev/null; then
            chown 65534:65534 "$dir/a.mp3"
            run=(setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_STATE_HOME="$dir/state")
        else
            report "read-only file" 0 0 "skipped: cannot drop root rights"
            return
        fi
    fi
    for cmd in strip "set --set Title=x"; do
        tried=$((tried + 1))
        # shellcheck disable=SC2086
        if ! "${run[@]}" "$CLI" $cmd "$dir/a.mp3" 2>/dev/null && [ "$(sha "$dir/a.mp3")" = "$before" ] &&
            [ "$(stat -c %a "$dir/a.mp3")" = 444 ]; then held=$((held + 1)); fi
    done
    report "read-only file" "$tried" "$held"
}

if [ "$SHORT" = 1 ]; then
    kill_case 4096 10
    writers_case 2048 3
    appender_case 8192 3
else
    kill_case 65536 60
    writers_case 40960 30
    appender_case 8192 20
fi
claim_case
ext2_case
odd_case
readonly_case

printf '%-34s %6s %6s\n' "case" "tried" "held"
printf '%s' "$SUMMARY"
exit $FAILED
