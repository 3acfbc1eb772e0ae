# Seeds and reads the four LDAP values of the test prefix with regprobe.exe
# (raw registry calls, independent of the tool), and runs a held copy of the
# tool, for every PowerShell test file. run-pester.sh sets the environment.

$script:Server = 'HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPSRV'
$script:Client = 'HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPClient'
$script:Values = @(
    @{ Key = $script:Server; Name = 'Enable Login Auth' }
    @{ Key = $script:Server; Name = 'Enable CR Auth' }
    @{ Key = $script:Server; Name = 'LdapSuffix' }
    @{ Key = $script:Client; Name = 'DNSuffix' }
)
# The probe stores and reads ANSI bytes; Wine's ANSI code page here is 1252.
$script:Ansi = [Text.Encoding]::GetEncoding(1252)

function Invoke-Probe {
    $output = @(& $env:WINELOADER $env:SORVANE_PROBE @args 2>$null | ForEach-Object { "$_".TrimEnd("`r") })
    if ($LASTEXITCODE -ne 0) { throw "regprobe $($args -join ' ') failed: $($output -join ' ')" }
    $output
}

function Set-LdapValues {
    # The four values as given (an empty one is stored empty); -NoKeys leaves
    # neither key.
    param([string]$LoginAuth, [string]$CrAuth, [string]$LdapSuffix, [string]$DNSuffix, [switch]$NoKeys)
    $commands = @('delete', 'HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek')
    if (-not $NoKeys) {
        $commands += 'create', $script:Server, 'create', $script:Client
        $texts = @($LoginAuth, $CrAuth, $LdapSuffix, $DNSuffix)
        for ($i = 0; $i -lt 4; $i++) {
            $hex = ($script:Ansi.GetBytes($texts[$i]) | ForEach-Object { $_.ToString('x2') }) -join ''
            if (-not $hex) { $hex = '-' }
            $commands += 'set', $script:Values[$i].Key, $script:Values[$i].Name, 'sz', $hex
        }
    }
    Invoke-Probe @commands | Out-Null
}

function Get-LdapValues {
    # The four values as stored, by name.
    $commands = @()
    foreach ($value in $script:Values) { $commands += 'dump', $value.Key, $value.Name }
    $lines = @(Invoke-Probe @commands)
    $result = [ordered]@{}
    for ($i = 0; $i -lt 4; $i++) {
        $kind, $hex = $lines[$i] -split ' '
        $text = $null
        if ($kind -ne 'missing') {
            $bytes = [byte[]]@(if ($hex -ne '-') { for ($j = 0; $j -lt $hex.Length; $j += 2) { [Convert]::ToByte($hex.Substring($j, 2), 16) } })
            $text = $script:Ansi.GetString($bytes).TrimEnd([char]0)
        }
        $result[$script:Values[$i].Name] = $text
    }
    $result
}

function Start-HeldCopy {
    # An interactive copy of the tool waiting at its first question, so it
    # holds the one-copy lock until Stop-HeldCopy ends its input. Each probe
    # below holds the lock too while it runs: a copy that started then found
    # it taken and ended, and is started again.
    $start = New-Object System.Diagnostics.ProcessStartInfo $env:SORVANE_EXE
    $start.RedirectStandardInput = $true
    $start.RedirectStandardOutput = $true
    $start.UseShellExecute = $false
    $process = [System.Diagnostics.Process]::Start($start)
    $deadline = (Get-Date).AddSeconds(20)
    while ((Get-Date) -lt $deadline) {
        Start-Sleep -Milliseconds 200
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

function ConvertTo-WindowsPath {
    # A path of this host as the tool under Wine names it.
    param([string]$Path)
    'Z:' + ($Path -replace '/', '\')
}

Export-ModuleMember -Function *
