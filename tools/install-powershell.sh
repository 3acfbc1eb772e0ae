#!/usr/bin/env bash
# Installs PowerShell 7.6.10 and Pester 5.7.1 for every user of this machine
# (run as root), where the .NET SDK is present; quick when both are there.
# PowerShell comes as a .NET tool (7.7.0 does not install this way), Pester
# from the NuGet feed (there is no PowerShell Gallery here). Without dotnet it
# says so and exits 0: the PowerShell tests then report themselves skipped.
set -eu
pwsh_version=7.6.10
pester_version=5.7.1
tool_path=/usr/local/lib/sorvane-pwsh
pester_dir=/usr/local/share/powershell/Modules/Pester/$pester_version

if ! command -v dotnet >/dev/null 2>&1; then
    echo "install-powershell: no dotnet on this machine; PowerShell and Pester not installed"
    exit 0
fi
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1

if [ ! -x "$tool_path/pwsh" ] || ! "$tool_path/pwsh" -NoProfile -NonInteractive -Command '$PSVersionTable.PSVersion.ToString()' 2>/dev/null | grep -qx "$pwsh_version"; then
    echo "install-powershell: PowerShell $pwsh_version into $tool_path"
    rm -rf "$tool_path"
    dotnet tool install PowerShell --version "$pwsh_version" --tool-path "$tool_path" >/dev/null
fi
# The tool folder is root's; every user runs it through this link.
chmod -R a+rX "$tool_path"
ln -sfn "$tool_path/pwsh" /usr/local/bin/pwsh

if [ ! -f "$pester_dir/Pester.psd1" ]; then
    echo "install-powershell: Pester $pester_version into $pester_dir"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cat >"$work/fetch.csproj" <<PROJECT
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup><TargetFramework>net$(dotnet --version | cut -d. -f1-2)</TargetFramework></PropertyGroup>
  <ItemGroup><PackageDownload Include="Pester" Version="[$pester_version]" /></ItemGroup>
</Project>
PROJECT
    dotnet restore "$work/fetch.csproj" --packages "$work/packages" >/dev/null
    source=$work/packages/pester/$pester_version
    # The package holds the module at its root (Pester.psd1 beside its
    # folders), with NuGet's own files around it.
    [ -f "$source/Pester.psd1" ] || source=$(dirname "$(find "$work/packages/pester" -name Pester.psd1 | head -n1)")
    mkdir -p "$(dirname "$pester_dir")"
    rm -rf "$pester_dir.tmp"
    cp -r "$source" "$pester_dir.tmp"
    rm -rf "$pester_dir.tmp"/*.nupkg "$pester_dir.tmp"/*.nupkg.sha512 "$pester_dir.tmp"/.nupkg.metadata "$pester_dir.tmp"/*.nuspec "$pester_dir.tmp/_rels" "$pester_dir.tmp/package" "$pester_dir.tmp/[Content_Types].xml"
    chmod -R a+rX "$pester_dir.tmp"
    mv "$pester_dir.tmp" "$pester_dir"
fi
