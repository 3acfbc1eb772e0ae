# Remediation script for both platforms: ConfigMgr (configuration item,
# script setting, run when configmgr-discovery.ps1 found the settings not
# compliant) and Intune Remediations (run when intune-detection.ps1 exits 1).
# Exits 0 when the settings are compliant after the run, otherwise the tool's
# own code (2: still not compliant, 1: failed), which both platforms take as
# a failed remediation; each shows the RESULT line printed and runs its
# detection again.
#
# Rule One (Enable Login Auth and Enable CR Auth = Yes) is always corrected;
# LdapSuffix and DNSuffix, when they differ, only with a Suffix: set it to
# the directory suffix of your machines before deploying. The values as they
# were are saved to BackupPath before the first write, and every write is
# appended to LogPath (either may be '' for none). Keep the file ASCII: with
# signature checking on, Intune wants UTF-8 without a byte order mark.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe',
    [string]$Suffix = '',
    [string]$BackupPath = 'C:\Tools\ldap-before.reg',
    [string]$LogPath = 'C:\Tools\sorvane.log'
)
$arguments = @('/repair', "/reg:$View")
if ($Suffix) { $arguments += "/suffix:$Suffix" }
if ($BackupPath) { $arguments += "/backup:$BackupPath" }
if ($LogPath) { $arguments += "/log:$LogPath" }
# Each fleet script is uploaded alone and can import nothing, so this capture
# of the RESULT line stands in each of them.
try {
    # @() keeps a one-line output a list: [-1] of a bare string is its last character.
    $output = @(& $Exe @arguments 2>$null)
    $code = $LASTEXITCODE
    $line = @($output | Where-Object { "$_".StartsWith('RESULT: ') }) | Select-Object -Last 1
    if (-not $line) {
        $line = "RESULT: failed - $Exe printed no RESULT line (exit code $code)"
        if ($code -eq 0) { $code = 1 }
    }
} catch {
    $line = "RESULT: failed - could not start ${Exe}: $($_.Exception.Message -replace '\s+', ' ')"
    $code = 1
}
Write-Output $line
exit $code
