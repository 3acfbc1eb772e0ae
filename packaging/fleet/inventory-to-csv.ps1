# Inventory over PowerShell remoting, from an admin's workstation: checks the
# LDAP settings on each server with the Sorvane module's
# Test-SorvaneLdapSetting (Sorvane.exe /check /json there, nothing written)
# and writes one CSV row per server, the servers that could not be reached
# included (Result "unreachable", with the reason), which are also listed as
# a warning. A failed check's row has the tool's reason and its ReasonId.
# Blank names (an empty line in the list) are skipped with the module's
# warning; a list with no name runs nothing and writes no file.
#
#   .\inventory-to-csv.ps1 -ComputerName (Get-Content servers.txt) -View 64
#
# The module does the remoting, the reading of each server's document and
# the classing of failures, so this script has none of its own. It needs the
# module here, on the workstation (the servers need only the exe at -Exe):
# installed (Install-Module Sorvane, or the MSI), or else the one in the
# release folder this script came in (..\PowerShell\Modules\Sorvane).
#
# The CSV is UTF-8 with a byte order mark in Windows PowerShell 5.1 and
# PowerShell 7 alike (Excel needs the mark to read it as UTF-8), and a cell
# that Excel would take for a formula (one that begins with = + - @, a tab or
# a carriage return: a value, or a server's name) begins with a ' instead,
# which Excel shows as text.
param(
    [Parameter(Mandatory)][AllowEmptyString()][AllowEmptyCollection()][string[]]$ComputerName,
    [string]$Path = 'ldap-settings.csv',
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe',
    [System.Management.Automation.PSCredential]$Credential,
    [ValidateRange(1, 1000)][int]$ThrottleLimit = 32
)
if (-not (Get-Module -Name Sorvane)) {
    $release = @(Get-ChildItem -Path (Join-Path $PSScriptRoot '..\PowerShell\Modules\Sorvane\*\Sorvane.psd1') -ErrorAction Ignore)
    if (Get-Module -ListAvailable -Name Sorvane) {
        Import-Module Sorvane -ErrorAction Stop
    } elseif ($release.Count) {
        Import-Module $release[-1].FullName -ErrorAction Stop
    } else {
        throw ('inventory-to-csv.ps1 runs the Sorvane module, which is not installed here: install it ' +
            '(Install-Module Sorvane, or the MSI), or run the script from the release folder it came in.')
    }
}

$options = @{ ComputerName = $ComputerName; View = $View; ExePath = $Exe; ThrottleLimit = $ThrottleLimit }
if ($Credential) { $options.Credential = $Credential }
$failures = @()
$answers = @(Test-SorvaneLdapSetting @options -ErrorAction SilentlyContinue -ErrorVariable failures)
if ($answers.Count -eq 0 -and $failures.Count -eq 0) { return }

function New-InventoryRow([string]$Server, [string]$Result) {
    [ordered]@{ Server = $Server; Result = $Result; ExitCode = ''; Problems = ''; EnableLoginAuth = ''
                EnableCRAuth = ''; LdapSuffix = ''; DNSuffix = ''; Reason = ''; ReasonId = '' }
}

$rows = @()
$unreachable = @()
foreach ($answer in $answers) {
    $row = New-InventoryRow $answer.ComputerName 'not compliant'
    if ($answer.Compliant) { $row.Result = 'compliant' }
    $row.ExitCode = $answer.ExitCode
    $row.Problems = @($answer.Problems) -join '; '
    foreach ($setting in @($answer.Settings)) { $row[($setting.Name -replace ' ', '')] = $setting.Text }
    $rows += [pscustomobject]$row
}
foreach ($failure in $failures) {
    $target = $failure.TargetObject
    if ($failure.FullyQualifiedErrorId -like 'SorvaneComputerUnreachable,*') {
        $row = New-InventoryRow ([string]$target) 'unreachable'
        $row.Reason = $failure.Exception.Message
        if ($failure.Exception.InnerException) { $row.Reason = $failure.Exception.InnerException.Message }
        $row.ReasonId = 'computerUnreachable'
        $unreachable += [string]$target
    } elseif ($target -and $target.PSObject.TypeNames -contains 'Sorvane.Run') {
        $row = New-InventoryRow $target.ComputerName 'failed'
        $row.ExitCode, $row.Reason, $row.ReasonId = $target.ExitCode, $target.Failure, $target.ReasonId
    } else {
        $row = New-InventoryRow '' 'failed'
        $row.Reason = $failure.Exception.Message
    }
    $rows += [pscustomobject]$row
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
    Write-Warning "Could not reach $($unreachable.Count) of $($rows.Count) servers: $($unreachable -join ', ')"
}
