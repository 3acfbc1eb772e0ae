# Remediation script for both platforms: ConfigMgr (configuration item,
# script setting, run when configmgr-discovery.ps1 found the settings not
# compliant) and Intune Remediations (run when intune-detection.ps1 exits 1).
# Prints one RESULT line, made from the tool's /json document; a failed line
# ends with the failure's reasonId, which stays the same whatever the language
# of the reason. Exits 0 when the settings are compliant after the run,
# otherwise the tool's own code (2: still not compliant, 1: failed), which
# both platforms take as a failed remediation; each shows the RESULT line
# printed and runs its detection again.
#
# Rule One (Enable Login Auth and Enable CR Auth = Yes) is always corrected;
# LdapSuffix and DNSuffix, when they differ, only with a Suffix: set it to
# the directory suffix of your machines before deploying. A run whose
# document shows a suffix other than Suffix written fails. The values as they
# were are saved to BackupPath before the first write, and every write and
# the run's RESULT line (also when nothing needed writing, and when the run
# failed after the log was opened) are appended to LogPath: left at their
# defaults, ldap-before.reg and sorvane.log in the exe's folder, which is
# there wherever the exe is (C:\Tools, or C:\Program Files\Sorvane where the
# MSI installed it); '' for none. Keep the file ASCII: with signature checking
# on, Intune wants UTF-8 without a byte order mark.
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

@SORVANE_RUN@

$run = ConvertTo-SorvaneRun (& $script:SorvaneRunTool $Exe $arguments) $arguments
if ($Suffix) { $run = $run | Confirm-SorvaneSuffix $Suffix }
Write-Output (Get-SorvaneResultLine $run)
if ($run.Failure) { exit 1 }
exit $run.Document.exitCode
