# Inventory over PowerShell remoting: checks the LDAP settings on each server
# (Sorvane.exe /check /json, nothing written) and writes one CSV row per
# server, the servers that could not be reached included (Result
# "unreachable", with the reason), which are also listed as a warning. Blank
# names (an empty line in the list) are skipped, with a warning.
#
#   .\inventory-to-csv.ps1 -ComputerName (Get-Content servers.txt) -View 64
#
# The JSON document is plain ASCII, so values read the same through
# remoting's decoding of the exe's output, whatever their characters. The CSV
# is UTF-8 with a byte order mark in Windows PowerShell 5.1 and PowerShell 7
# alike (Excel needs the mark to read it as UTF-8), and a cell that Excel
# would take for a formula (one that begins with = + - @, a tab or a carriage
# return: a value, or a server's name) begins with a ' instead, which Excel
# shows as text.
param(
    [Parameter(Mandatory)][AllowEmptyString()][string[]]$ComputerName,
    [string]$Path = 'ldap-settings.csv',
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe',
    [System.Management.Automation.PSCredential]$Credential
)
$servers = @($ComputerName | Where-Object { -not [string]::IsNullOrWhiteSpace($_) } | ForEach-Object { $_.Trim() })
if ($servers.Count -lt $ComputerName.Count) {
    Write-Warning "Skipped $($ComputerName.Count - $servers.Count) blank server names."
}
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
$remote = @{ ComputerName = $servers; ScriptBlock = $check; ArgumentList = @($Exe, $View) }
if ($Credential) { $remote.Credential = $Credential }
$failures = @()
$answers = @()
if ($servers.Count) { $answers = @(Invoke-Command @remote -ErrorAction SilentlyContinue -ErrorVariable failures) }

# Each fleet script is uploaded alone and can import nothing: this is the
# module's own reading of the document, copied.
function ConvertFrom-SorvaneJson {
    # The document with every text as it is. ConvertFrom-Json in PowerShell 7
    # makes a text that looks like a date a DateTime (only 7.5 and later take
    # -DateKind): each string value gets a leading mark no date starts with,
    # taken off again after. Names are matched too, so the scan stays on the
    # string boundaries, and left alone.
    param([string]$Text)
    $marked = [regex]::Replace($Text, '"((?:[^"\\]|\\.)*")(\s*:)?', {
            param($match)
            if ($match.Groups[2].Success) { return $match.Value }
            '"~' + $match.Groups[1].Value
        })
    $document = $marked | ConvertFrom-Json
    Remove-SorvaneMark $document
    $document
}

function Remove-SorvaneMark($Node) {
    foreach ($property in @($Node.PSObject.Properties)) {
        $value = $property.Value
        if ($value -is [string]) {
            $property.Value = $value.Substring(1)
        } elseif ($value -is [array]) {
            for ($i = 0; $i -lt $value.Count; $i++) {
                if ($value[$i] -is [string]) { $value[$i] = $value[$i].Substring(1) }
                elseif ($value[$i] -is [System.Management.Automation.PSCustomObject]) { Remove-SorvaneMark $value[$i] }
            }
        } elseif ($value -is [System.Management.Automation.PSCustomObject]) {
            Remove-SorvaneMark $value
        }
    }
}

$rows = @()
foreach ($answer in $answers) {
    $row = [ordered]@{
        Server = $answer.PSComputerName; Computer = ''; Result = 'failed'; ExitCode = $answer.ExitCode
        Problems = ''; EnableLoginAuth = ''; EnableCRAuth = ''; LdapSuffix = ''; DNSuffix = ''; Reason = ''
    }
    $document = $null
    try { $document = ConvertFrom-SorvaneJson (@($answer.Lines) -join "`n") } catch { }
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
$unreachable = @($servers | Where-Object { $reached -notcontains $_ })
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

# Excel evaluates a cell that begins so, from any source: a value or a name
# must not run as a formula.
foreach ($row in $rows) {
    foreach ($cell in $row.PSObject.Properties) {
        if ($cell.Value -is [string] -and $cell.Value -match "^[=+\-@`t`r]") { $cell.Value = "'" + $cell.Value }
    }
}

$encoding = 'UTF8'  # Windows PowerShell 5.1: with a byte order mark
if ($PSVersionTable.PSVersion.Major -ge 6) { $encoding = 'utf8BOM' }
$rows | Export-Csv -LiteralPath $Path -NoTypeInformation -Encoding $encoding
if ($unreachable.Count -gt 0) {
    Write-Warning "Could not reach $($unreachable.Count) of $($servers.Count) servers: $($unreachable -join ', ')"
}
