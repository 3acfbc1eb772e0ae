# The Sorvane module against the real exe under Wine: objects and errors for
# each outcome, values through ConvertFrom-Json, the repair and its -WhatIf.

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    $cafe = "dc=caf$([char]0xE9)"
}

Describe 'The manifest' {
    It 'carries the version of the exe beside it and exports the three commands and the DSC resource' {
        Set-LdapValues Yes Yes dc=x dc=x
        $exeVersion = (@(& $env:SORVANE_EXE /check /json) -join '' | ConvertFrom-Json).version
        $manifest = Import-PowerShellDataFile (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1')
        $manifest.ModuleVersion | Should -Be $exeVersion
        (Get-Module Sorvane).ExportedFunctions.Keys | Sort-Object |
            Should -Be @('Get-SorvaneLdapSetting', 'Repair-SorvaneLdapSetting', 'Test-SorvaneLdapSetting')
        $manifest.DscResourcesToExport | Should -Be 'SorvaneLdapSettings'
    }
}

Describe 'Reading the settings' {
    It 'gives the four values in catalogue order as objects, and Test- the verdict: <Case>' -ForEach @(
        @{ Case = 'compliant'; Seed = @('Yes', 'Yes', 'dc=x', 'dc=x'); Passes = @($true, $true, $true, $true); Compliant = $true }
        @{ Case = 'not compliant'; Seed = @('Yes', 'no', 'dc=x', 'dc=y'); Passes = @($true, $false, $false, $false); Compliant = $false }
    ) {
        Set-LdapValues @Seed
        $settings = @(Get-SorvaneLdapSetting -View 32)
        $settings.Name | Should -Be @('Enable Login Auth', 'Enable CR Auth', 'LdapSuffix', 'DNSuffix')
        $settings.Text | Should -Be $Seed
        $settings.Passes | Should -Be $Passes
        $settings[0].Key | Should -Be 'HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPSRV'
        $settings[0].ComputerName | Should -Be ([Environment]::MachineName)
        $settings[0].PSObject.TypeNames[0] | Should -Be 'Sorvane.LdapSetting'
        Test-SorvaneLdapSetting -View 32 | Should -BeExactly $Compliant
    }

    It 'reads values as stored: a non-ASCII letter, and a text that looks like a date' {
        Set-LdapValues Yes Yes $cafe '2024-01-02T03:04:05'
        $settings = @(Get-SorvaneLdapSetting)
        $settings[2].Text | Should -BeExactly $cafe
        $settings[3].Text | Should -BeOfType [string]
        $settings[3].Text | Should -BeExactly '2024-01-02T03:04:05'
    }

    It 'makes a failed run an error carrying the reason, with no answer: <Case>' -ForEach @(
        @{ Case = 'keys missing'; Reason = 'could not read the settings*' }
        @{ Case = 'another copy running'; Reason = 'another copy of Sorvane is running' }
        @{ Case = 'exe missing'; Absent = '/nonexistent/Sorvane.exe'; Reason = 'could not start /nonexistent/Sorvane.exe*' }
        @{ Case = 'one line of text'; OneLine = 'RESULT: failed - another copy of Sorvane is running'
            Reason = '* printed no report: RESULT: failed - another copy of Sorvane is running' }
    ) {
        Set-LdapValues Yes Yes dc=x dc=x -NoKeys:($Case -eq 'keys missing')
        $program = $env:SORVANE_EXE
        if ($Absent) { $program = $Absent }
        if ($OneLine) {
            # An exe that answers /json with a line of text, as one older than the switch would.
            $program = Join-Path $TestDrive 'one-line.sh'
            Set-Content $program "#!/bin/sh`necho '$OneLine'`nexit 1"
            chmod +x $program
        }
        $held = $null
        if ($Case -eq 'another copy running') { $held = Start-HeldCopy }
        try {
            $answer = @(Test-SorvaneLdapSetting -ExePath $program -ErrorVariable failures -ErrorAction SilentlyContinue)
            @(Get-SorvaneLdapSetting -ExePath $program -ErrorVariable +failures -ErrorAction SilentlyContinue).Count | Should -Be 0
        } finally {
            if ($held) { Stop-HeldCopy $held }
        }
        $answer.Count | Should -Be 0
        $failures.Count | Should -Be 2
        foreach ($failure in $failures) {
            $failure.FullyQualifiedErrorId | Should -BeLike 'SorvaneRunFailed,*'
            $failure.Exception.Message | Should -BeLike $Reason
            $failure.TargetObject.ComputerName | Should -Be ([Environment]::MachineName)
        }
    }
}

Describe 'Repairing the settings' {
    It 'with -WhatIf writes nothing and outputs nothing' {
        Set-LdapValues no Yes dc=x dc=y
        $before = Get-LdapValues
        $said = Repair-SorvaneLdapSetting -Suffix $cafe -WhatIf
        $said | Should -BeNullOrEmpty
        (Get-LdapValues) | ConvertTo-Json | Should -Be ($before | ConvertTo-Json)
    }

    It 'writes the corrections, backs up and logs them, and reports the values as read back' {
        Set-LdapValues no Yes dc=x dc=y
        $backup = Join-Path $TestDrive 'before.reg'
        $log = Join-Path $TestDrive 'sorvane.log'
        $result = Repair-SorvaneLdapSetting -Suffix $cafe -BackupPath (ConvertTo-WindowsPath $backup) `
            -LogPath (ConvertTo-WindowsPath $log) -Confirm:$false
        $result.Result | Should -Be 'compliant'
        $result.ChangesMade | Should -Be 3
        $result.Writes.name | Should -Be @('Enable Login Auth', 'LdapSuffix', 'DNSuffix')
        $result.Settings.Text | Should -Be @('Yes', 'Yes', $cafe, $cafe)
        @((Get-LdapValues).Values) | Should -Be @('Yes', 'Yes', $cafe, $cafe)
        $backup | Should -Exist
        $log | Should -FileContentMatch 'LdapSuffix'
    }

    It 'without -Suffix corrects Rule One only and reports what is still wrong, not an error' {
        Set-LdapValues Yes no dc=x dc=y
        $result = Repair-SorvaneLdapSetting -Confirm:$false -ErrorVariable failures
        $failures.Count | Should -Be 0
        $result.Result | Should -Be 'not compliant'
        $result.Problems | Should -BeLike 'LdapSuffix and DNSuffix differ*'
        @((Get-LdapValues).Values) | Should -Be @('Yes', 'Yes', 'dc=x', 'dc=y')
    }

    It 'with nothing to correct writes nothing and asks nothing' {
        Set-LdapValues Yes Yes dc=x dc=x
        # -Confirm would ask, and fail in this non-interactive session, were there a write.
        (Repair-SorvaneLdapSetting -Confirm).ChangesMade | Should -Be 0
    }
}

Describe 'Several computers' {
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
        ($settings.ComputerName | Select-Object -Unique) | Should -Be @('srv1', 'srv2')
        $settings.Count | Should -Be 8
        $failures.Exception.Message | Should -Be 'broken: could not read the settings'
        (Test-SorvaneLdapSetting -ComputerName srv1).Compliant | Should -BeTrue
    }
}
