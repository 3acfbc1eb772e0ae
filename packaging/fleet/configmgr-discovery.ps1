# ConfigMgr configuration item, script setting, discovery script (data type
# String). Compliance rule: the value equals "RESULT: compliant"; remediation
# script: remediation.ps1.
#
# ConfigMgr takes a non-zero exit code as a failed discovery and compares the
# one line printed with the rule, so this prints one line and exits 0 on every
# path: the tool's RESULT line, or a RESULT: failed line saying why there is
# none. The client's default execution policy is AllSigned: deploy it signed.
#
# View: 32 where the product is a 32-bit program (its keys are under
# WOW6432Node on 64-bit Windows), 64 where it is a 64-bit one.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe'
)
# Each fleet script is uploaded alone and can import nothing, so this capture
# of the RESULT line stands in each of them.
try {
    # @() keeps a one-line output a list: [-1] of a bare string is its last character.
    $output = @(& $Exe /check "/reg:$View" 2>$null)
    $line = @($output | Where-Object { "$_".StartsWith('RESULT: ') }) | Select-Object -Last 1
    if (-not $line -and $output.Count -gt 0) {
        $line = "RESULT: failed - $Exe printed no RESULT line: $($output[-1])"
    } elseif (-not $line) {
        $line = "RESULT: failed - $Exe printed nothing (exit code $LASTEXITCODE)"
    }
} catch {
    $line = "RESULT: failed - could not start ${Exe}: $($_.Exception.Message -replace '\s+', ' ')"
}
Write-Output $line
exit 0
