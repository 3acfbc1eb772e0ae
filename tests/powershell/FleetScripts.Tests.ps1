# The fleet scripts as the agents run them, against the real exe under Wine: each path's one
# line, exit code and registry (the remediation's suffix also as Windows PowerShell 5.1 hands it
# over); the inventory's CSV; the Ansible tasks.

BeforeDiscovery {
    $cafe = "dc=caf$([char]0xE9)"
    $good, $bad, $none = @('Yes', 'Yes', 'dc=x', 'dc=x'), @('no', 'Yes', 'dc=x', 'dc=y'), @()
    $fixed, $ruleOne, $missing = @('Yes', 'Yes', $cafe, $cafe), @('Yes', 'Yes', 'dc=x', 'dc=y'), (@($null) * 4)
}

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    $cafe = "dc=caf$([char]0xE9)"
    $passingAsStarted = $PSNativeCommandArgumentPassing

    function Invoke-FleetScript {
        # Runs a script in this session (a PowerShell start per run costs a second): its output
        # lines, what it wrote to standard error, and its exit code.
        param([string]$Name, [hashtable]$Parameters)
        $errors, $stderr = (New-Object System.IO.StringWriter), [Console]::Error
        try {
            [Console]::SetError($errors)
            $global:LASTEXITCODE = $null
            $lines = @(& (Join-Path $env:SORVANE_FLEET $Name) @Parameters)
        } finally {
            [Console]::SetError($stderr)
        }
        [pscustomobject]@{ Lines = $lines; Error = "$errors".Trim(); ExitCode = $LASTEXITCODE }
    }
}

Describe 'The fleet scripts' {
    It 'check, <Case>: one line on every path; ConfigMgr exits 0, Intune <Exit> (1 only for a repair)' -ForEach @(
        @{ Case = 'compliant'; Seed = $good; Line = 'RESULT: compliant'; Exit = 0 }
        @{ Case = 'not compliant'; Seed = $bad; Line = 'RESULT: not compliant - Enable Login Auth is not Yes; LdapSuffix*'; Exit = 1 }
        @{ Case = 'keys missing'; Seed = $none; Line = 'RESULT: failed - could not read the settings*'; Exit = 2 }
        @{ Case = 'one line only'; Seed = $good; Line = 'RESULT: failed - another copy of Sorvane is running'; Exit = 2
            Exe = "$PSScriptRoot/one-line.sh" }
        @{ Case = 'exe missing'; Seed = $good; Line = 'RESULT: failed - could not start /nonexistent/Sorvane.exe*'; Exit = 2
            Exe = '/nonexistent/Sorvane.exe' }
    ) {
        Set-LdapValues @Seed
        $options = @{ View = '32'; Exe = $env:SORVANE_EXE }
        if ($Exe) { $options.Exe = $Exe }
        $discovery = Invoke-FleetScript configmgr-discovery.ps1 $options
        $detection = Invoke-FleetScript intune-detection.ps1 $options
        $discovery.Lines | Should -BeLike $Line
        @($discovery.Lines.Count, $discovery.ExitCode, $discovery.Error) | Should -Be @(1, 0, '')
        @($detection.Lines.Count, $detection.ExitCode) | Should -Be @(1, $Exit)
        $detection.Lines | Should -Be $discovery.Lines
        # A failed check is told on standard error too: a detection error, not a device without issues.
        if ($Exit -eq 2) { $detection.Error | Should -Be $detection.Lines[0] } else { $detection.Error | Should -Be '' }
    }

    # 'quoted, as 5.1 passes it': Windows PowerShell 5.1's way of handing arguments over; 'a suffix
    # changed on its way': an exe that reports another value written; 'beside the exe': the backup
    # and log defaults, with the exe in a folder of its own as the MSI installs it.
    It 'remediation, <Case>: "<Line>", exit <Code>' -ForEach @(
        @{ Case = 'with a suffix'; Seed = $bad; Suffix = $cafe; Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = $fixed }
        @{ Case = 'quoted, as 5.1 passes it'; Seed = $bad; Suffix = 'o=\"Acme\",dc=com'; Passing = 'Legacy'
            Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = @('Yes', 'Yes', 'o=\"Acme\",dc=com', 'o=\"Acme\",dc=com') }
        @{ Case = 'without one'; Seed = $bad; Suffix = ''; Line = 'RESULT: not compliant, 1 changes made - LdapSuffix and DNSuffix differ*'; Code = 2; After = $ruleOne }
        @{ Case = 'keys missing'; Seed = $none; Suffix = 'dc=x'; Line = 'RESULT: failed - could not read the settings*'; Code = 1; After = $missing }
        @{ Case = 'a suffix changed on its way'; Seed = $ruleOne; Suffix = 'o="Acme"'; Stub = $true; Code = 1; After = $ruleOne
            Line = "RESULT: failed - */one-line.sh was asked for the suffix 'o=`"Acme`"' and wrote 'o=Acme'" }
        @{ Case = 'beside the exe'; Seed = $bad; Suffix = $cafe; Defaults = $true; Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = $fixed }
    ) {
        Set-LdapValues @Seed
        $backup, $log = (Join-Path $TestDrive "$Case.reg"), (Join-Path $TestDrive "$Case.log")
        $options = @{ View = '32'; Exe = $env:SORVANE_EXE; Suffix = $Suffix
            BackupPath = (ConvertTo-WindowsPath $backup); LogPath = (ConvertTo-WindowsPath $log) }
        if ($Defaults) {
            $folder = New-Item -ItemType Directory (Join-Path $TestDrive 'Sorvane')
            $options.Exe = Join-Path $folder 'Sorvane.exe'
            Copy-Item $env:SORVANE_EXE $options.Exe
            chmod +x $options.Exe
            $options.Remove('BackupPath'); $options.Remove('LogPath')
            $backup, $log = (Join-Path $folder 'ldap-before.reg'), (Join-Path $folder 'sorvane.log')
        }
        if ($Stub) {
            $options.Exe = "$PSScriptRoot/one-line.sh"
            $env:SORVANE_STUB_EXIT = 0
            $env:SORVANE_STUB_LINE = '{"values":[],"problems":[],"changesMade":1,"result":"compliant","exitCode":0,' +
                '"writes":[{"name":"LdapSuffix","old":"dc=x","new":"o=Acme","done":true}]}'
        }
        if ($Passing) { $global:PSNativeCommandArgumentPassing = $Passing }
        try {
            $run = Invoke-FleetScript remediation.ps1 $options
        } finally {
            $global:PSNativeCommandArgumentPassing = $passingAsStarted
            $env:SORVANE_STUB_LINE, $env:SORVANE_STUB_EXIT = $null, $null
        }
        $run.Lines | Should -BeLike $Line
        @($run.Lines.Count, $run.ExitCode) | Should -Be @(1, $Code)
        @(Get-LdapValues) | Should -BeExactly $After
        if ($Code -ne 1) { $log | Should -FileContentMatch 'Enable Login Auth' }
        Test-Path $backup | Should -Be ($Code -ne 1)
    }

    # Remoting cannot run here (no WSMan client on this host): Invoke-Command
    # runs each reachable server's part in this session, tagged as remoting
    # tags it, and fails for the others as remoting does.
    # The values and a server's name are ones Excel would run as formulas; the last value is one
    # that ConvertFrom-Json without -DateKind (PowerShell 7.0 to 7.4, and this one) makes a date.
    It 'inventory: a UTF-8 CSV with a row per server, values as stored and no cell a formula, the unreachable ones listed with the reason' {
        $sheetMeant = '-1+1', '@SUM(1)', '=HYPERLINK("http://x")', '2026-12-08T17:00:00'
        Set-LdapValues @sheetMeant
        Mock Invoke-Command {
            foreach ($computer in $ComputerName) {
                if ($computer -like 'down*') {
                    Write-Error "Connecting to remote server $computer failed" -TargetObject $computer -Category ResourceUnavailable
                } else {
                    & $ScriptBlock @ArgumentList | Add-Member -NotePropertyName PSComputerName -NotePropertyValue $computer -PassThru
                }
            }
        }
        $csv = Join-Path $TestDrive 'ldap-settings.csv'
        $formula = "=cmd|' /C calc'!A0"
        & (Join-Path $env:SORVANE_FLEET 'inventory-to-csv.ps1') -ComputerName srv1, '', down1, $formula, ' ' -Path $csv `
            -View 32 -Exe $env:SORVANE_EXE -WarningVariable warnings -WarningAction SilentlyContinue
        [IO.File]::ReadAllBytes($csv)[0..2] | Should -Be @(0xEF, 0xBB, 0xBF)
        $rows = @(Import-Csv $csv)
        $rows.Server | Should -Be @('srv1', "'$formula", 'down1')
        $rows.Result | Should -Be @('not compliant', 'not compliant', 'unreachable')
        @($rows[0].EnableLoginAuth, $rows[0].EnableCRAuth, $rows[0].LdapSuffix, $rows[0].DNSuffix) |
            Should -BeExactly (@($sheetMeant[0..2] | ForEach-Object { "'$_" }) + $sheetMeant[3])
        $rows[2].Reason | Should -Be 'Connecting to remote server down1 failed'
        $warnings | Should -Be @('Skipped 2 blank server names.', 'Could not reach 1 of 3 servers: down1')
    }

    # The tasks with ansible.builtin.command in place of win_command (the
    # same argv), run here against the exe: changed and failed come from the
    # document as they would on Windows. The first row checks the file as shipped.
    It 'Ansible tasks, <Case>: <Expect>' -ForEach @(
        @{ Case = '--syntax-check'; Seed = $good; Mode = '--syntax-check'; Expect = '*playbook:*'; After = $good }
        @{ Case = 'settings to correct'; Seed = $bad; Expect = '*changed=1*failed=0*'; After = $fixed }
        @{ Case = 'the same in check mode'; Seed = $bad; Mode = '--check'; Expect = '*changed=1*failed=0*'; After = $bad }
        @{ Case = 'compliant settings'; Seed = $good; Expect = '*changed=0*failed=0*'; After = $good }
        @{ Case = 'keys missing'; Seed = $none; Expect = '*changed=0*failed=1*'; After = $missing }
    ) {
        Set-LdapValues @Seed
        $tasks = Join-Path $TestDrive 'tasks.yml'
        $shipped = Get-Content -Raw (Join-Path $env:SORVANE_FLEET 'ansible-tasks.yml')
        if ($Mode -ne '--syntax-check') { $shipped = $shipped -replace 'ansible\.windows\.win_command:', 'ansible.builtin.command:' }
        Set-Content $tasks $shipped
        $playbook = Join-Path $TestDrive 'run.yml'
        Set-Content $playbook ("- hosts: localhost`n  connection: local`n  gather_facts: false`n  tasks:`n" +
            "    - ansible.builtin.import_tasks: $tasks`n      vars:`n        sorvane_exe: $env:SORVANE_EXE`n" +
            "        sorvane_view: '32'`n        sorvane_suffix: '$cafe'`n" +
            "        sorvane_log: '$(ConvertTo-WindowsPath (Join-Path $TestDrive 'ansible.log'))'")
        $env:ANSIBLE_NOCOLOR = '1'
        $output = (& ansible-playbook -i 'localhost,' @($Mode | Where-Object { $_ }) $playbook 2>&1) -join "`n"
        $output | Should -BeLike $Expect -Because $output
        @(Get-LdapValues) | Should -Be $After
    }
}
