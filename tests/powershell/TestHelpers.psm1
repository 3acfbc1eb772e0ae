# Seeds and reads the four LDAP values of the test prefix with regprobe.exe
# (raw registry calls, independent of the tool), for every PowerShell test
# file. run-pester.sh sets the environment.

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

function ConvertTo-WindowsPath([string]$Path) { 'Z:' + ($Path -replace '/', '\') }

Export-ModuleMember -Function *
