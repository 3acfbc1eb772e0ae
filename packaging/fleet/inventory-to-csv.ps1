# Inventory over PowerShell remoting: checks the LDAP settings on each server
# (Sorvane.exe /check /json, nothing written) and writes one CSV row per
# server, the servers that could not be reached included (Result
# "unreachable", with the reason), which are also listed as a warning.
#
#   .\inventory-to-csv.ps1 -ComputerName (Get-Content servers.txt) -View 64
#
# The JSON document is plain ASCII, so values read the same through
# remoting's decoding of the exe's output, whatever their characters. The CSV
# is UTF-8 with a byte order mark in Windows PowerShell 5.1 and PowerShell 7
# alike (Excel needs the mark to read it as UTF-8).
param(
    [Parameter(Mandatory)][string[]]$ComputerName,
    [string]$Path = 'ldap-settings.csv',
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe',
    [System.Management.Automation.PSCredential]$Credential
)
$check = {
    param($Exe, $View)
    $answer = [pscustomobject]@{ Lines = @(); ExitCode = $null; StartError = $null }
    try {
        $answer.Lines = @(& $Exe /check "/reg:$View" /json 2>$null | ForEach-Object { [string]$_ })
        $answer.ExitCode = $LASTEXITCODE
    } catch {
        $answer.StartError = $_.Exception.Message -replace '\s+', ' '
    }
    $answer
}
$remote = @{ ComputerName = $ComputerName; ScriptBlock = $check; ArgumentList = @($Exe, $View) }
if ($Credential) { $remote.Credential = $Credential }
$failures = @()
$answers = @(Invoke-Command @remote -ErrorAction SilentlyContinue -ErrorVariable failures)

# ConvertFrom-Json in PowerShell 7 turns a date-like text into a date unless
# told not to (7.5 and later); a stored value must stay the text it is.
$json = @{}
if ((Get-Command ConvertFrom-Json).Parameters.ContainsKey('DateKind')) { $json.DateKind = 'String' }

$rows = @()
foreach ($answer in $answers) {
    $row = [ordered]@{
        Server = $answer.PSComputerName; Computer = ''; Result = 'failed'; ExitCode = $answer.ExitCode
        Problems = ''; EnableLoginAuth = ''; EnableCRAuth = ''; LdapSuffix = ''; DNSuffix = ''; Reason = ''
    }
    $document = $null
    try { $document = (@($answer.Lines) -join "`n") | ConvertFrom-Json @json -ErrorAction Stop } catch { }
    if ($answer.StartError) {
        $row.Reason = "could not start ${Exe}: $($answer.StartError)"
    } elseif (-not $document -or -not $document.PSObject.Properties['result']) {
        $row.Reason = "$Exe printed no report: $(@($answer.Lines)[-1])"
    } else {
        $row.Computer = $document.computer
        $row.Result = $document.result
        $row.Problems = @($document.problems) -join '; '
        if ($document.PSObject.Properties['reason']) { $row.Reason = $document.reason }
        foreach ($value in @($document.values)) {
            $row[($value.name -replace ' ', '')] = $value.text
        }
    }
    $rows += [pscustomobject]$row
}

$reached = @($rows | ForEach-Object { $_.Server })
$unreachable = @($ComputerName | Where-Object { $reached -notcontains $_ })
foreach ($server in $unreachable) {
    # Invoke-Command names the computer of a connection failure as the
    # error's target.
    $failure = @($failures | Where-Object {
            $_.TargetObject -eq $server -or $_.CategoryInfo.TargetName -eq $server -or
            ($_.PSObject.Properties['OriginInfo'] -and $_.OriginInfo -and $_.OriginInfo.PSComputerName -eq $server)
        }) | Select-Object -First 1
    $reason = 'could not be reached'
    if ($failure) { $reason = $failure.Exception.Message }
    $rows += [pscustomobject][ordered]@{
        Server = $server; Computer = ''; Result = 'unreachable'; ExitCode = ''; Problems = ''
        EnableLoginAuth = ''; EnableCRAuth = ''; LdapSuffix = ''; DNSuffix = ''; Reason = $reason
    }
}

$encoding = 'UTF8'  # Windows PowerShell 5.1: with a byte order mark
if ($PSVersionTable.PSVersion.Major -ge 6) { $encoding = 'utf8BOM' }
$rows | Export-Csv -LiteralPath $Path -NoTypeInformation -Encoding $encoding
if ($unreachable.Count -gt 0) {
    Write-Warning "Could not reach $($unreachable.Count) of $($ComputerName.Count) servers: $($unreachable -join ', ')"
}
