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
    # A failed line ends with the failure's reasonId, the one thing read to class it: the last row's
    # stand-in gives its reason in other words.
    It 'check, <Case>: one line on every path; ConfigMgr exits 0, Intune <Exit> (1 only for a repair)' -ForEach @(
        @{ Case = 'compliant'; Seed = $good; Line = 'RESULT: compliant'; Exit = 0 }
        @{ Case = 'not compliant'; Seed = $bad; Line = 'RESULT: not compliant - Enable Login Auth is not Yes; LdapSuffix*'; Exit = 1 }
        @{ Case = 'keys missing'; Seed = $none; Line = 'RESULT: failed - could not read the settings* (reasonId: keysUnreadable)'; Exit = 2 }
        @{ Case = 'one line only'; Seed = $good; Exit = 2; Exe = "$PSScriptRoot/one-line.sh"
            Line = 'RESULT: failed - */one-line.sh printed no report: RESULT: failed - another copy of Sorvane is running (reasonId: reportInvalid)' }
        @{ Case = 'exe missing'; Seed = $good; Line = 'RESULT: failed - could not start /nonexistent/Sorvane.exe* (reasonId: exeNotFound)'
            Exit = 2; Exe = '/nonexistent/Sorvane.exe' }
        @{ Case = 'another copy, in other words'; Seed = $good; Exit = 2; Exe = "$PSScriptRoot/one-line.sh"
            Line = 'RESULT: failed - une autre copie tourne (reasonId: anotherCopyRunning)'
            Stub = '{"computer":"c","mode":"check","view":"32-bit","values":[],"problems":[],"writes":[],"backupFile":null,' +
                '"changesMade":0,"result":"failed","reason":"une autre copie tourne","reasonId":"anotherCopyRunning","exitCode":1}' }
    ) {
        Set-LdapValues @Seed
        $options = @{ View = '32'; Exe = $env:SORVANE_EXE }
        if ($Exe) { $options.Exe = $Exe }
        $env:SORVANE_STUB_LINE = $Stub
        try {
            $discovery = Invoke-FleetScript configmgr-discovery.ps1 $options
            $detection = Invoke-FleetScript intune-detection.ps1 $options
        } finally {
            $env:SORVANE_STUB_LINE = $null
        }
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
    # Logged: the log's last line, which is there also where nothing was written and where the
    # run failed (the stand-in writes none).
    It 'remediation, <Case>: "<Line>", exit <Code>' -ForEach @(
        @{ Case = 'with a suffix'; Seed = $bad; Suffix = $cafe; Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = $fixed
            BackedUp = $true; Logged = '* RESULT: compliant, 3 changes made' }
        @{ Case = 'quoted, as 5.1 passes it'; Seed = $bad; Suffix = 'o=\"Acme\",dc=com'; Passing = 'Legacy'; BackedUp = $true
            Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = @('Yes', 'Yes', 'o=\"Acme\",dc=com', 'o=\"Acme\",dc=com')
            Logged = '* RESULT: compliant, 3 changes made' }
        @{ Case = 'without one'; Seed = $bad; Suffix = ''; Line = 'RESULT: not compliant, 1 changes made - LdapSuffix and DNSuffix differ*'
            Code = 2; After = $ruleOne; BackedUp = $true; Logged = '* RESULT: not compliant, 1 changes made - *' }
        @{ Case = 'nothing to write'; Seed = $good; Suffix = 'dc=x'; Line = 'RESULT: compliant, 0 changes made'; Code = 0; After = $good
            Logged = '* RESULT: compliant, 0 changes made' }
        @{ Case = 'keys missing'; Seed = $none; Suffix = 'dc=x'; Line = 'RESULT: failed - could not read the settings* (reasonId: keysUnreadable)'
            Code = 1; After = $missing; Logged = '* RESULT: failed - could not read the settings*' }
        @{ Case = 'a suffix changed on its way'; Seed = $ruleOne; Suffix = 'o="Acme"'; Stub = $true; Code = 1; After = $ruleOne
            Line = "RESULT: failed - */one-line.sh was asked for the suffix 'o=`"Acme`"' and read 'o=Acme' from its command line (reasonId: argumentChanged)" }
        @{ Case = 'beside the exe'; Seed = $bad; Suffix = $cafe; Defaults = $true; Line = 'RESULT: compliant, 3 changes made'; Code = 0
            After = $fixed; BackedUp = $true; Logged = '* RESULT: compliant, 3 changes made' }
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
            $env:SORVANE_STUB_LINE = '{"computer":"c","mode":"repair","view":"32-bit","values":[],"problems":[],"backupFile":null,' +
                '"changesMade":1,"writes":[{"key":"k","name":"LdapSuffix","old":"dc=x","new":"o=Acme","done":true}],' +
                '"result":"compliant","reasonId":null,"exitCode":0}'
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
        if ($Logged) { @(Get-Content $log)[-1] | Should -BeLike $Logged } else { $log | Should -Not -Exist }
        Test-Path $backup | Should -Be ([bool]$BackedUp)
    }

    # The script runs the module: WinRM cannot run here, so Invoke-Command, mocked in the module,
    # runs each reachable server's part in this session, tagged as remoting tags it, and fails for
    # the others as remoting does ('broken' has no exe). The values and a server's name are ones
    # Excel would run as formulas; the last value is one that ConvertFrom-Json without -DateKind
    # (PowerShell 7.0 to 7.4, and this one) makes a date.
    It 'inventory: a UTF-8 CSV with a row per server, values as stored and no cell a formula, failures with their reasonId' {
        Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
        $sheetMeant = '-1+1', '@SUM(1)', '=HYPERLINK("http://x")', '2026-12-08T17:00:00'
        Set-LdapValues @sheetMeant
        Mock -ModuleName Sorvane Invoke-Command {
            foreach ($computer in $ComputerName) {
                if ($computer -like 'down*') {
                    Write-Error "Connecting to remote server $computer failed" -TargetObject $computer -Category ResourceUnavailable
                    continue
                }
                $arguments = @($ArgumentList)
                if ($computer -eq 'broken') { $arguments[0] = '/nonexistent/Sorvane.exe' }
                & $ScriptBlock @arguments | Add-Member -NotePropertyName PSComputerName -NotePropertyValue $computer -PassThru
            }
        }
        $csv = Join-Path $TestDrive 'ldap-settings.csv'
        $formula = "=cmd|' /C calc'!A0"
        & (Join-Path $env:SORVANE_FLEET 'inventory-to-csv.ps1') -ComputerName srv1, '', down1, broken, $formula, ' ' -Path $csv `
            -View 32 -Exe $env:SORVANE_EXE -WarningVariable warnings -WarningAction SilentlyContinue
        [IO.File]::ReadAllBytes($csv)[0..2] | Should -Be @(0xEF, 0xBB, 0xBF)
        $rows = @(Import-Csv $csv)
        $rows.Server | Should -Be @('srv1', "'$formula", 'down1', 'broken')
        $rows.Result | Should -Be @('not compliant', 'not compliant', 'unreachable', 'failed')
        $rows.ReasonId | Should -Be @('', '', 'computerUnreachable', 'exeNotFound')
        @($rows[0].EnableLoginAuth, $rows[0].EnableCRAuth, $rows[0].LdapSuffix, $rows[0].DNSuffix) |
            Should -BeExactly (@($sheetMeant[0..2] | ForEach-Object { "'$_" }) + $sheetMeant[3])
        $rows[2].Reason | Should -Be 'Connecting to remote server down1 failed'
        $rows[3].Reason | Should -BeLike 'could not start /nonexistent/Sorvane.exe*'
        $warnings | Should -Be (@('Skipped a blank computer name.') * 2 + 'Could not reach 1 of 4 servers: down1')

        # A list with no name runs nothing and leaves the file as it was.
        & (Join-Path $env:SORVANE_FLEET 'inventory-to-csv.ps1') -ComputerName '', ' ' -Path $csv -WarningVariable warnings `
            -WarningAction SilentlyContinue
        @(Import-Csv $csv).Count | Should -Be 4
        $warnings[-1] | Should -Be 'No computer was given: nothing was run.'
        Should -Invoke -ModuleName Sorvane Invoke-Command -Times 1 -Exactly
    }

    It 'inventory without the module on the workstation: says so, and writes nothing' {
        $csv = Join-Path $TestDrive 'none.csv'
        $env:PSModulePath, $modules = (Join-Path $TestDrive 'no-modules'), $env:PSModulePath
        try {
            $output = & pwsh -NoProfile -NonInteractive -Command ("`$ErrorView = 'NormalView'; `$PSStyle.OutputRendering = 'PlainText'; " +
                "& '$env:SORVANE_FLEET/inventory-to-csv.ps1' -ComputerName srv1 -Path '$csv'") 2>&1
        } finally {
            $env:PSModulePath = $modules
        }
        $LASTEXITCODE | Should -Be 1
        "$output" | Should -BeLike '*inventory-to-csv.ps1 runs the Sorvane module, which is not installed here*'
        $csv | Should -Not -Exist
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
