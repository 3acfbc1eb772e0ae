# Intune Remediations, detection script. Remediations run only on
# Intune-managed Windows 10/11 Enterprise, Pro or Education clients, not on
# Windows Server: for servers use the ConfigMgr scripts or remoting.
#
# Exit 1 starts the remediation (remediation.ps1), so it is given only
# for settings the tool found not compliant. A check that failed (keys that
# cannot be read, another copy running) is no reason to write: it exits 2,
# with its RESULT line on standard error too, so the portal shows it as a
# detection error instead of a device without issues. Intune shows the last
# line printed, up to 2,048 characters: the RESULT line.
#
# Intune runs the script as SYSTEM in 32-bit PowerShell unless told
# otherwise; that does not change the registry view, only View does: 32
# where the product is a 32-bit program, 64 where it is a 64-bit one.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe'
)
$code = 1
# Each fleet script is uploaded alone and can import nothing, so this capture
# of the RESULT line stands in each of them.
try {
    # @() keeps a one-line output a list: [-1] of a bare string is its last character.
    $output = @(& $Exe /check "/reg:$View" 2>$null)
    $code = $LASTEXITCODE
    $line = @($output | Where-Object { "$_".StartsWith('RESULT: ') }) | Select-Object -Last 1
    if (-not $line) {
        $line = "RESULT: failed - $Exe printed no RESULT line (exit code $code)"
        $code = 1
    }
} catch {
    $line = "RESULT: failed - could not start ${Exe}: $($_.Exception.Message -replace '\s+', ' ')"
}
Write-Output $line
if ($code -eq 0) { exit 0 }
if ($code -eq 2) { exit 1 }
[Console]::Error.WriteLine($line)
exit 2
