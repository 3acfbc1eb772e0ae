# ConfigMgr configuration item, script setting, remediation script: runs when
# configmgr-discovery.ps1 found the settings not compliant. A non-zero exit
# code is a failed remediation: the tool's own code (2: still not compliant,
# 1: failed). ConfigMgr runs the discovery again afterwards.
#
# Rule One (Enable Login Auth and Enable CR Auth = Yes) is always corrected;
# LdapSuffix and DNSuffix, when they differ, only with a Suffix: set it to
# the directory suffix of your servers before deploying. The values as they
# were are saved to BackupPath before the first write, and every write is
# appended to LogPath (either may be '' for none).
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
try {
    $output = @(& $Exe @arguments 2>$null)
    $code = $LASTEXITCODE
    $results = @($output | Where-Object { "$_".StartsWith('RESULT: ') })
    if ($results.Count -gt 0) {
        $line = $results[-1]
    } else {
        $line = "RESULT: failed - $Exe printed no RESULT line (exit code $code)"
        if ($code -eq 0) { $code = 1 }
    }
} catch {
    $line = "RESULT: failed - could not start ${Exe}: $($_.Exception.Message -replace '\s+', ' ')"
    $code = 1
}
Write-Output $line
exit $code
