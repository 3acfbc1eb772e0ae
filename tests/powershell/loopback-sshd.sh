#!/usr/bin/env bash
# loopback-sshd.sh DIR PWSH WATCHED_PID: an sshd of the remoting tests' own, for real PowerShell
# remoting over SSH to this machine. Everything it uses is made in DIR: a host key, a client key
# (DIR/client_key) that alone may log in, as the user running it, a config, and the subsystem
# PWSH -sshs runs as, which hands the remote PowerShell this environment: a session starts with
# sshd's clean one, where Wine's prefix and loader and the exe would be unknown. It listens on a
# free port of 127.0.0.1 only and writes that port to DIR/port when it accepts connections.
#
# It stops its sshd when it is stopped (any signal it can catch) and when WATCHED_PID (the
# test's PowerShell) is gone, so no sshd outlives the test. Exits 77, saying why, where
# openssh-server is not installed. Runs as root (then /run/sshd, the folder root's sshd
# requires, is made) and as any other user (sshd then logs in only that user).
# --probe: exits 77, saying why, where it could not run, else 0.
set -eu
sshd=/usr/sbin/sshd  # re-executed for each connection, so named by its full path
if [ ! -x "$sshd" ] || ! command -v ssh-keygen >/dev/null 2>&1 || ! command -v ssh >/dev/null 2>&1; then
    echo "skipped: openssh-server is not installed; as root, tools/install.sh installs it"
    exit 77
fi
[ "$1" != --probe ] || exit 0
dir=$1 pwsh=$2 watched=$3
mkdir -p "$dir"
rm -f "$dir/port" "$dir/host_key" "$dir/client_key"
ssh-keygen -q -t ed25519 -N '' -C sorvane-test-host -f "$dir/host_key"
ssh-keygen -q -t ed25519 -N '' -C sorvane-test-client -f "$dir/client_key"
cp "$dir/client_key.pub" "$dir/authorized_keys"
[ "$(id -u)" != 0 ] || mkdir -p -m 0755 /run/sshd

{
    echo '#!/bin/sh'
    for name in PATH LANG LC_ALL WINEPREFIX WINEARCH WINELOADER WINEDEBUG WINEDLLOVERRIDES \
        SORVANE_TOOL POWERSHELL_TELEMETRY_OPTOUT POWERSHELL_UPDATECHECK; do
        [ -z "${!name+set}" ] || printf 'export %s=%q\n' "$name" "${!name}"
    done
    printf 'exec %q -sshs -NoLogo -NoProfile\n' "$pwsh"
} >"$dir/remote-pwsh.sh"
chmod +x "$dir/remote-pwsh.sh"

sshd_pid=
trap '[ -z "$sshd_pid" ] || kill "$sshd_pid" 2>/dev/null; wait' EXIT
trap 'exit 1' INT TERM HUP

# A port free now may be taken before sshd binds it: then sshd exits, and another is tried.
for attempt in 1 2 3 4 5; do
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    cat >"$dir/sshd_config" <<CONFIG
ListenAddress 127.0.0.1:$port
HostKey $dir/host_key
PidFile none
AuthorizedKeysFile $dir/authorized_keys
AllowUsers $(id -un)
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
AllowTcpForwarding no
X11Forwarding no
PrintMotd no
Subsystem powershell $dir/remote-pwsh.sh
CONFIG
    "$sshd" -D -e -f "$dir/sshd_config" 2>>"$dir/sshd.log" &
    sshd_pid=$!
    for _ in $(seq 50); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port" >"$dir/port.tmp"
            mv "$dir/port.tmp" "$dir/port"
            break 2
        fi
        kill -0 "$sshd_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$sshd_pid" 2>/dev/null || true
    wait "$sshd_pid" || true
    sshd_pid=
done
if [ -z "$sshd_pid" ]; then
    echo "sshd did not start: $(tail -3 "$dir/sshd.log" | tr '\n' ' ')" >&2
    exit 1
fi
while kill -0 "$watched" 2>/dev/null && kill -0 "$sshd_pid" 2>/dev/null; do
    sleep 1
done
