# Intune Remediations, detection script. Remediations run only on
# Intune-managed Windows 10/11 Enterprise, Pro or Education clients, not on
# Windows Server: for servers use the ConfigMgr scripts or remoting.
#
# Exit 1 starts the remediation (remediation.ps1), so it is given only
# for settings the tool found not compliant. A check that failed (keys that
# cannot be read, another copy running, no exe) is no reason to write: it
# exits 2, with its RESULT line on standard error too, so the portal shows it
# as a detection error instead of a device without issues. Intune shows the
# last line printed, up to 2,048 characters: the RESULT line of the tool's
# /check, made from its JSON document; a failed line ends with the failure's
# reasonId.
#
# Intune runs the script as SYSTEM in 32-bit PowerShell unless told
# otherwise; that does not change the registry view, only View does: 32
# where the product is a 32-bit program, 64 where it is a 64-bit one.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe'
)

@SORVANE_RUN@

$arguments = @('/check', '/json', "/reg:$View")
$run = ConvertTo-SorvaneRun (& $script:SorvaneRunTool $Exe $arguments) $arguments
$line = Get-SorvaneResultLine $run
Write-Output $line
if ($run.Failure) {
    [Console]::Error.WriteLine($line)
    exit 2
}
if ($run.Document.result -eq 'compliant') { exit 0 }
exit 1
