# Seeds and reads the four LDAP values of the test prefix with regprobe.exe
# (raw registry calls, independent of the tool), and holds the tool's one-copy
# lock, for every PowerShell test file. run-pester.sh sets the environment.

$script:Keys = @('QXLDAPSRV', 'QXLDAPSRV', 'QXLDAPSRV', 'QXLDAPClient') |
    ForEach-Object { "HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\$_" }
$script:Names = @('Enable Login Auth', 'Enable CR Auth', 'LdapSuffix', 'DNSuffix')
# The probe stores and reads ANSI bytes; Wine's ANSI code page here is 1252.
$script:Ansi = [Text.Encoding]::GetEncoding(1252)

function Invoke-Probe {
    $output = @(& $env:WINELOADER $env:SORVANE_PROBE @args 2>$null | ForEach-Object { "$_".TrimEnd("`r") })
    if ($LASTEXITCODE -ne 0) { throw "regprobe $($args -join ' ') failed: $($output -join ' ')" }
    $output
}

function Set-LdapValues {
    # The four values given, in catalogue order (an empty one is stored
    # empty); given none, neither key is left.
    $commands = @('delete', 'HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek')
    if ($args.Count) { $commands += 'create', $script:Keys[0], 'create', $script:Keys[3] }
    for ($i = 0; $i -lt $args.Count; $i++) {
        $hex = -join ($script:Ansi.GetBytes([string]$args[$i]) | ForEach-Object { $_.ToString('x2') })
        if (-not $hex) { $hex = '-' }
        $commands += 'set', $script:Keys[$i], $script:Names[$i], 'sz', $hex
    }
    Invoke-Probe @commands | Out-Null
}

function Get-LdapValues {
    # The four values as stored, in catalogue order ($null where missing).
    $commands = for ($i = 0; $i -lt 4; $i++) { 'dump', $script:Keys[$i], $script:Names[$i] }
    foreach ($line in Invoke-Probe @commands) {
        $kind, $hex = $line -split ' '
        if ($kind -eq 'missing') { $null; continue }
        $bytes = [byte[]]@(for ($j = 0; $j -lt $hex.Length -and $hex -ne '-'; $j += 2) { [Convert]::ToByte($hex.Substring($j, 2), 16) })
        $script:Ansi.GetString($bytes).TrimEnd([char]0)
    }
}

function Start-HeldCopy {
    # An interactive copy of the tool waiting at its first question holds the
    # one-copy lock until Stop-HeldCopy ends its input. Each probe here holds
    # the lock too while it runs: a copy that started then ends, and is
    # started again.
    $start = New-Object System.Diagnostics.ProcessStartInfo $env:SORVANE_EXE
    $start.RedirectStandardInput = $start.RedirectStandardOutput = $true
    $start.UseShellExecute = $false
    $process = [System.Diagnostics.Process]::Start($start)
    for ($deadline = (Get-Date).AddSeconds(20); (Get-Date) -lt $deadline; Start-Sleep -Milliseconds 200) {
        if ($process.HasExited) { $process = [System.Diagnostics.Process]::Start($start) }
        $probe = @(& $env:SORVANE_EXE /check /json) -join '' | ConvertFrom-Json
        if ($probe.reason -eq 'another copy of Sorvane is running' -and -not $process.HasExited) { return $process }
    }
    Stop-HeldCopy $process
    throw 'the held copy of the tool did not take its lock within 20 s'
}

function Stop-HeldCopy {
    param($Process)
    if ($Process.HasExited) { return }
    $Process.StandardInput.Close()
    if (-not $Process.WaitForExit(20000)) { throw 'the held copy did not end at the end of its input' }
}

function ConvertTo-WindowsPath([string]$Path) { 'Z:' + ($Path -replace '/', '\') }

Export-ModuleMember -Function *
