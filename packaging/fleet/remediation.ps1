# Remediation script for both platforms: ConfigMgr (configuration item,
# script setting, run when configmgr-discovery.ps1 found the settings not
# compliant) and Intune Remediations (run when intune-detection.ps1 exits 1).
# Prints one RESULT line, made from the tool's /json document. Exits 0 when
# the settings are compliant after the run, otherwise the tool's own code (2:
# still not compliant, 1: failed), which both platforms take as a failed
# remediation; each shows the RESULT line printed and runs its detection again.
#
# Rule One (Enable Login Auth and Enable CR Auth = Yes) is always corrected;
# LdapSuffix and DNSuffix, when they differ, only with a Suffix: set it to
# the directory suffix of your machines before deploying. A run whose
# document shows a suffix other than Suffix written fails. The values as they
# were are saved to BackupPath before the first write, and every write is
# appended to LogPath: left at their defaults, ldap-before.reg and
# sorvane.log in the exe's folder, which is there wherever the exe is
# (C:\Tools, or C:\Program Files\Sorvane where the MSI installed it); '' for
# none. Keep the file ASCII: with signature checking on, Intune wants UTF-8
# without a byte order mark.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe',
    [string]$Suffix = '',
    [string]$BackupPath = [IO.Path]::Combine([IO.Path]::GetDirectoryName($Exe), 'ldap-before.reg'),
    [string]$LogPath = [IO.Path]::Combine([IO.Path]::GetDirectoryName($Exe), 'sorvane.log')
)
$arguments = @('/repair', '/json', "/reg:$View")
if ($Suffix) { $arguments += "/suffix:$Suffix" }
if ($BackupPath) { $arguments += "/backup:$BackupPath" }
if ($LogPath) { $arguments += "/log:$LogPath" }

# Each fleet script is uploaded alone and can import nothing, so what follows
# is the module's own code, copied: how it hands arguments over and reads
# the document.
#
# Windows PowerShell 5.1, PowerShell 7.0 to 7.2, and later ones with
# $PSNativeCommandArgumentPassing Legacy join the arguments into the command
# line as they are: a quote inside one is not escaped, so the exe would read
# another text. There each argument goes already quoted as the exe's
# CommandLineToArgvW reads it back, every blank inside the quotes, so
# PowerShell adds no quotes of its own.
$passing = Get-Variable -Name PSNativeCommandArgumentPassing -ValueOnly -ErrorAction Ignore
if ($passing -ne 'Standard' -and ($passing -ne 'Windows' -or $Exe -match '\.(bat|cmd|js|vbs|wsf)$')) {
    $arguments = @(foreach ($argument in $arguments) {
            # A backslash is itself except before a quote, where each doubles and the quote is escaped.
            $quoted = [regex]::Replace($argument, '(\\*)"', '$1$1\"')
            if ($argument -and $argument -notmatch '\s') { $quoted }
            else { '"' + [regex]::Replace($quoted, '(\\+)$', '$1$1') + '"' }
        })
}

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

try {
    $output = @(& $Exe @arguments 2>$null)
    $code = $LASTEXITCODE
    $text = $output -join "`n"
    $document = $null
    if ($text.TrimStart().StartsWith('{')) { try { $document = ConvertFrom-SorvaneJson $text } catch { } }
    if (-not $document -or -not $document.PSObject.Properties['result']) {
        $line = "RESULT: failed - $Exe printed no report (exit code $code)"
        if ($output.Count) { $line = "RESULT: failed - $Exe printed no report: $($output[-1])" }
        $code = 1
    } elseif ($document.exitCode -ne $code) {
        $line = "RESULT: failed - $Exe printed the result '$($document.result)' and exited with $code"
        $code = 1
    } else {
        $changed = @($document.writes | Where-Object {
                $Suffix -and @('LdapSuffix', 'DNSuffix') -contains $_.name -and $_.new -cne $Suffix })
        $line = "RESULT: $($document.result)"
        if ($changed.Count) {
            $line = "RESULT: failed - $Exe was asked for the suffix '$Suffix' and wrote '$($changed[0].new)'"
            $code = 1
        } elseif ($document.result -eq 'failed') {
            $line += " - $($document.reason)"
        } else {
            # The tool's own RESULT line, as it prints it after a repair.
            if ($document.result -eq 'compliant' -or $document.changesMade -gt 0) {
                $line += ", $($document.changesMade) changes made"
            }
            if ($document.result -ne 'compliant') { $line += " - $(@($document.problems) -join '; ')" }
        }
    }
} catch {
    $line = "RESULT: failed - could not start ${Exe}: $($_.Exception.Message -replace '\s+', ' ')"
    $code = 1
}
Write-Output $line
exit $code
