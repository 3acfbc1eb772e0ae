# ConfigMgr configuration item, script setting, discovery script (data type
# String). Compliance rule: the value equals "RESULT: compliant"; remediation
# script: remediation.ps1.
#
# ConfigMgr takes a non-zero exit code as a failed discovery and compares the
# one line printed with the rule, so this prints one line and exits 0 on every
# path: the RESULT line of the tool's /check, made from its JSON document, or
# a RESULT: failed line saying why; a failed line ends with the failure's
# reasonId, which stays the same whatever the language of the reason. The
# client's default execution policy is AllSigned: deploy it signed.
#
# View: 32 where the product is a 32-bit program (its keys are under
# WOW6432Node on 64-bit Windows), 64 where it is a 64-bit one.
param(
    [ValidateSet('32', '64')][string]$View = '32',
    [string]$Exe = 'C:\Tools\Sorvane.exe'
)

@SORVANE_RUN@

$arguments = @('/check', '/json', "/reg:$View")
$run = ConvertTo-SorvaneRun (& $script:SorvaneRunTool $Exe $arguments) $arguments
Write-Output (Get-SorvaneResultLine $run)
exit 0
