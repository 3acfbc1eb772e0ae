#!/usr/bin/env bash
# Installs, as root on Debian 12, what the build and the tests need and this
# machine lacks (tools/requirements.sh), generates the locales the tests run
# under, installs openssh-server for the remoting tests (its service left
# off), and PowerShell and Pester where dotnet is present. Quick
# when everything is there; safe to run again. The other tools run it by
# themselves when started as root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/requirements.sh"

if [ "$(id -u)" != 0 ]; then
    echo "tools/install.sh installs packages and generates locales: run it as root." >&2
    exit 1
fi
if ! requirements_missing; then
    if [ ${#missing_packages[@]} -gt 0 ]; then
        echo "Installing: ${missing_packages[*]}"
        if [[ " ${missing_packages[*]} " == *:i386* ]] &&
            ! dpkg --print-foreign-architectures | grep -qx i386; then
            dpkg --add-architecture i386
        fi
        apt-get update -q >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "${missing_packages[@]}" >/dev/null
    fi
    # locales came with the packages above when it was missing.
    if [ ${#missing_locales[@]} -gt 0 ]; then
        echo "Generating the locales: ${missing_locales[*]}"
        for wanted in "${missing_locales[@]}"; do
            line="$wanted ${wanted#*.}"
            sed -i "s/^# *\($line\)\$/\1/" /etc/locale.gen
            grep -qx "$line" /etc/locale.gen || echo "$line" >>/etc/locale.gen
        done
        locale-gen >/dev/null
    fi
    requirements_missing || {
        echo "Still missing after installing: ${missing_packages[*]} ${missing_locales[*]}" >&2
        exit 1
    }
fi
# The remoting tests' sshd. The tests start their own, on 127.0.0.1 only, so
# the package's service is neither started now (a policy-rc.d that refuses it,
# unless the machine has one) nor at boot: installing it opens no port.
if ! sshd_installed; then
    echo "Installing: openssh-server (for the remoting tests; its service stays off)"
    policy=/usr/sbin/policy-rc.d
    if [ ! -e "$policy" ]; then
        trap 'rm -f "$policy"' EXIT
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod +x "$policy"
    fi
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends openssh-server >/dev/null
    # Off at boot too: systemd (no systemctl needed, which a container may lack) and System V.
    rm -f /etc/systemd/system/multi-user.target.wants/ssh.service /etc/systemd/system/sshd.service
    update-rc.d ssh disable >/dev/null 2>&1 || true
fi
# PowerShell and Pester for the PowerShell tests, where the .NET SDK is
# (elsewhere those tests say they are skipped, and why).
"$here/install-powershell.sh"
