# The Sorvane module and its DSC resource against the real exe under Wine: objects and errors
# for each outcome, the repair and its -WhatIf, the resource's Get, Test and Set.

BeforeDiscovery {
    $cafe = "dc=caf$([char]0xE9)"
    $good, $bad, $ruleOne = @('Yes', 'Yes', 'dc=x', 'dc=x'), @('no', 'Yes', 'dc=x', 'dc=y'), @('Yes', 'Yes', 'dc=x', 'dc=y')
}

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    $here = [Environment]::MachineName
}

Describe 'The module' {
    It 'carries the version of the exe and exports the DSC resource' {
        Set-LdapValues Yes Yes dc=x dc=x
        $manifest = Import-PowerShellDataFile (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1')
        $manifest.ModuleVersion | Should -Be (@(& $env:SORVANE_EXE /check /json) -join '' | ConvertFrom-Json).version
        $manifest.DscResourcesToExport | Should -Be 'SorvaneLdapSettings'
    }

    # The third row: a non-ASCII letter through the JSON, and a text that
    # ConvertFrom-Json would make a date.
    It 'gives the four values as stored, their checks and the verdict: <Seed>' -ForEach @(
        @{ Seed = $good; Passes = @($true, $true, $true, $true); Compliant = $true }
        @{ Seed = @('Yes', 'no', 'dc=x', 'dc=y'); Passes = @($true, $false, $false, $false); Compliant = $false }
        @{ Seed = @('Yes', 'Yes', $cafe, '2024-01-02T03:04:05'); Passes = @($true, $true, $false, $false); Compliant = $false }
    ) {
        Set-LdapValues @Seed
        $settings = @(Get-SorvaneLdapSetting -View 32)
        $settings.Name | Should -Be @('Enable Login Auth', 'Enable CR Auth', 'LdapSuffix', 'DNSuffix')
        $settings.Text | Should -BeOfType [string]
        $settings.Text | Should -BeExactly $Seed
        $settings.Passes | Should -Be $Passes
        $settings.ComputerName | Should -Be (@($here) * 4)
        Test-SorvaneLdapSetting -View 32 | Should -BeExactly $Compliant
    }

    It 'makes a failed run an error of Get- and Test- carrying the reason, with no answer: <Reason>' -ForEach @(
        @{ Reason = 'could not read the settings*' }
        @{ Reason = 'could not start /nonexistent/Sorvane.exe*'; Exe = '/nonexistent/Sorvane.exe' }
        @{ Reason = '* printed no report: RESULT: failed - another copy of Sorvane is running'; Exe = "$PSScriptRoot/one-line.sh" }
    ) {
        Set-LdapValues
        if (-not $Exe) { $Exe = $env:SORVANE_EXE }
        $answers = @(Test-SorvaneLdapSetting -ExePath $Exe -ErrorVariable failures -ErrorAction SilentlyContinue) +
            @(Get-SorvaneLdapSetting -ExePath $Exe -ErrorVariable +failures -ErrorAction SilentlyContinue)
        $answers.Count | Should -Be 0
        $failures.Count | Should -Be 2
        $failures.FullyQualifiedErrorId | Should -BeLike 'SorvaneRunFailed,*'
        $failures.Exception.Message | Should -BeLike $Reason
        $failures.TargetObject.ComputerName | Should -Be @($here, $here)
    }

    # -Confirm in the last row would ask, and fail in this non-interactive session, were there a write.
    It 'repairs <Case>: <Verdict>, <Changes> changes, and no error' -ForEach @(
        @{ Case = 'with -WhatIf'; Seed = $bad; Options = @{ Suffix = $cafe; WhatIf = $true }; After = $bad }
        @{ Case = 'with -Suffix'; Seed = $bad; Options = @{ Suffix = $cafe; Confirm = $false }; Verdict = 'compliant'; Changes = 3
            After = @('Yes', 'Yes', $cafe, $cafe) }
        @{ Case = 'without -Suffix'; Seed = $bad; Options = @{ Confirm = $false }; Verdict = 'not compliant'; Changes = 1; After = $ruleOne }
        @{ Case = 'with nothing to correct'; Seed = $good; Options = @{ Confirm = $true }; Verdict = 'compliant'; Changes = 0; After = $good }
    ) {
        Set-LdapValues @Seed
        $backup, $log = (Join-Path $TestDrive "$Case.reg"), (Join-Path $TestDrive "$Case.log")
        $result = Repair-SorvaneLdapSetting @Options -BackupPath (ConvertTo-WindowsPath $backup) `
            -LogPath (ConvertTo-WindowsPath $log) -ErrorVariable failures
        $failures.Count | Should -Be 0
        @($result.Result, $result.ChangesMade) | Should -Be @($Verdict, $Changes)
        @(Get-LdapValues) | Should -Be $After
        if ($Verdict -eq 'not compliant') { $result.Problems | Should -BeLike 'LdapSuffix and DNSuffix differ*' }
        Test-Path $backup | Should -Be ($Changes -gt 0)
        if ($Changes) { $log | Should -FileContentMatch 'Enable Login Auth' }
    }

    # No WSMan client on this host: Invoke-Command runs each computer's part in this session,
    # tagged as remoting tags it, to prove how the answers are told apart.
    It 'tags each object with its computer and keeps going past a failed one' {
        Set-LdapValues Yes Yes dc=x dc=x
        Mock -ModuleName Sorvane Invoke-Command {
            foreach ($computer in $ComputerName) {
                $answer = & $ScriptBlock @ArgumentList
                if ($computer -eq 'broken') { $answer.Lines = @('{"result":"failed","reason":"could not read the settings"}') }
                $answer | Add-Member -NotePropertyName PSComputerName -NotePropertyValue $computer -PassThru
            }
        }
        $settings = @(Get-SorvaneLdapSetting -ComputerName srv1, broken, srv2 -ErrorVariable failures -ErrorAction SilentlyContinue)
        $settings.ComputerName | Should -Be (@('srv1') * 4 + @('srv2') * 4)
        $failures.Exception.Message | Should -Be 'broken: could not read the settings'
        (Test-SorvaneLdapSetting -ComputerName srv1).Compliant | Should -BeTrue
    }

    It 'has a DSC resource whose Get reads, Test agrees, Set corrects Rule One and the suffixes given one, and a failed run throws' {
        Set-LdapValues no Yes dc=x dc=y
        $resource = & (Get-Module Sorvane) { [SorvaneLdapSettings]::new() }
        $resource.View = '32'
        $state = $resource.Get()
        @($state.EnableLoginAuth, $state.EnableCRAuth, $state.LdapSuffix, $state.DNSuffix, $state.Compliant) |
            Should -Be @('no', 'Yes', 'dc=x', 'dc=y', $false)
        $resource.Test() | Should -BeFalse
        { $resource.Set() } | Should -Throw '*still not compliant*LdapSuffix and DNSuffix differ*'
        @(Get-LdapValues) | Should -Be @('Yes', 'Yes', 'dc=x', 'dc=y')
        $resource.Suffix = 'dc=example,dc=com'
        $resource.Set()
        @(Get-LdapValues) | Should -Be @('Yes', 'Yes', 'dc=example,dc=com', 'dc=example,dc=com')
        $resource.Test() | Should -BeTrue
        Set-LdapValues
        { $resource.Get() } | Should -Throw 'Sorvane: could not read the settings*'
    }
}
