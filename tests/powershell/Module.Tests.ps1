# The Sorvane module and its DSC resource against the real exe under Wine:
# objects and errors for each outcome, the repair and its -WhatIf, and the
# resource's Get, Test and Set as a DSC engine calls them.

BeforeDiscovery {
    $cafe = "dc=caf$([char]0xE9)"
}

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    $cafe = "dc=caf$([char]0xE9)"
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
        @{ Seed = @('Yes', 'Yes', 'dc=x', 'dc=x'); Passes = @($true, $true, $true, $true); Compliant = $true }
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
        @{ Reason = 'could not read the settings*'; Seed = @() }
        @{ Reason = 'could not start /nonexistent/Sorvane.exe*'; Exe = '/nonexistent/Sorvane.exe' }
        # An exe that answers /json with a line of text, as one older than the switch would.
        @{ Reason = '* printed no report: RESULT: failed - another copy of Sorvane is running'; OneLine = $true }
    ) {
        if ($null -eq $Seed) { Set-LdapValues Yes Yes dc=x dc=x } else { Set-LdapValues @Seed }
        if (-not $Exe) { $Exe = $env:SORVANE_EXE }
        if ($OneLine) {
            $Exe = Join-Path $TestDrive 'one-line.sh'
            Set-Content $Exe "#!/bin/sh`necho 'RESULT: failed - another copy of Sorvane is running'`nexit 1"
            chmod +x $Exe
        }
        $answers = @(Test-SorvaneLdapSetting -ExePath $Exe -ErrorVariable failures -ErrorAction SilentlyContinue) +
            @(Get-SorvaneLdapSetting -ExePath $Exe -ErrorVariable +failures -ErrorAction SilentlyContinue)
        $answers.Count | Should -Be 0
        $failures.Count | Should -Be 2
        $failures.FullyQualifiedErrorId | Should -BeLike 'SorvaneRunFailed,*'
        $failures.Exception.Message | Should -BeLike $Reason
        $failures.TargetObject.ComputerName | Should -Be @($here, $here)
    }

    It 'repairs <Case>: <Verdict>, <Changes> changes, and no error' -ForEach @(
        @{ Case = 'with -WhatIf'; Seed = @('no', 'Yes', 'dc=x', 'dc=y'); Options = @{ Suffix = $cafe; WhatIf = $true }
            After = @('no', 'Yes', 'dc=x', 'dc=y') }
        @{ Case = 'with -Suffix'; Seed = @('no', 'Yes', 'dc=x', 'dc=y'); Options = @{ Suffix = $cafe; Confirm = $false }
            Verdict = 'compliant'; Changes = 3; After = @('Yes', 'Yes', $cafe, $cafe) }
        @{ Case = 'without -Suffix, Rule One only'; Seed = @('Yes', 'no', 'dc=x', 'dc=y'); Options = @{ Confirm = $false }
            Verdict = 'not compliant'; Changes = 1; After = @('Yes', 'Yes', 'dc=x', 'dc=y') }
        # -Confirm would ask, and fail in this non-interactive session, were there a write.
        @{ Case = 'with nothing to correct'; Seed = @('Yes', 'Yes', 'dc=x', 'dc=x'); Options = @{ Confirm = $true }
            Verdict = 'compliant'; Changes = 0; After = @('Yes', 'Yes', 'dc=x', 'dc=x') }
    ) {
        Set-LdapValues @Seed
        $backup, $log = (Join-Path $TestDrive "$Case.reg"), (Join-Path $TestDrive "$Case.log")
        $result = Repair-SorvaneLdapSetting @Options -BackupPath (ConvertTo-WindowsPath $backup) `
            -LogPath (ConvertTo-WindowsPath $log) -ErrorVariable failures
        $failures.Count | Should -Be 0
        $result.Result | Should -Be $Verdict
        $result.ChangesMade | Should -Be $Changes
        @(Get-LdapValues) | Should -Be $After
        if ($Verdict) { $result.Settings.Text | Should -Be $After }
        if ($Verdict -eq 'not compliant') { $result.Problems | Should -BeLike 'LdapSuffix and DNSuffix differ*' }
        Test-Path $backup | Should -Be ($Changes -gt 0)
        if ($Changes) { $log | Should -FileContentMatch 'Enable' }
    }

    # Remoting cannot run here (no WSMan client on this host): Invoke-Command
    # runs each computer's part in this session instead, tagged as remoting
    # tags it, to prove how the answers are told apart.
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
}

Describe 'The DSC resource SorvaneLdapSettings' {
    BeforeEach {
        $resource = & (Get-Module Sorvane) { [SorvaneLdapSettings]::new() }
        $resource.View = '32'
    }

    It 'Get reports the values and verdict and Test agrees; Set corrects Rule One, and the suffixes given one' {
        Set-LdapValues no Yes dc=x dc=y
        $state = $resource.Get()
        $state.View | Should -Be '32'
        @($state.EnableLoginAuth, $state.EnableCRAuth, $state.LdapSuffix, $state.DNSuffix) | Should -Be @('no', 'Yes', 'dc=x', 'dc=y')
        $state.Compliant | Should -BeFalse
        $state.Problems.Count | Should -Be 2
        $resource.Test() | Should -BeFalse
        { $resource.Set() } | Should -Throw '*still not compliant*LdapSuffix and DNSuffix differ*'
        @(Get-LdapValues) | Should -Be @('Yes', 'Yes', 'dc=x', 'dc=y')
        $resource.Suffix = 'dc=example,dc=com'
        $resource.Set()
        @(Get-LdapValues) | Should -Be @('Yes', 'Yes', 'dc=example,dc=com', 'dc=example,dc=com')
        $resource.Test() | Should -BeTrue
    }

    It 'throws the reason of a run that failed from Get, Test and Set' {
        Set-LdapValues
        $resource.Suffix = 'dc=x'
        foreach ($method in 'Get', 'Test', 'Set') {
            { $resource.$method() } | Should -Throw 'Sorvane: could not read the settings*'
        }
    }
}
