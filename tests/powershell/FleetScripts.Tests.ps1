# The fleet scripts as the agents run them, against the real exe under Wine:
# each path's one line, exit code and registry; the inventory's CSV; the
# Ansible tasks.

BeforeDiscovery {
    $cafe = "dc=caf$([char]0xE9)"
}

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    $cafe = "dc=caf$([char]0xE9)"

    function Invoke-FleetScript {
        # Runs one script as the agents do, but in this session (a PowerShell
        # start per run would cost the suite a second each): its standard
        # output lines, what it wrote to standard error, and its exit code.
        param([string]$Name, [hashtable]$Parameters, [switch]$HoldLock)
        $errors = New-Object System.IO.StringWriter
        $stderr = [Console]::Error
        $held = $null
        if ($HoldLock) { $held = Start-HeldCopy }
        try {
            [Console]::SetError($errors)
            $global:LASTEXITCODE = $null
            $lines = @(& (Join-Path $env:SORVANE_FLEET $Name) @Parameters)
            $code = $LASTEXITCODE
        } finally {
            [Console]::SetError($stderr)
            if ($held) { Stop-HeldCopy $held }
        }
        [pscustomobject]@{ Lines = $lines; Error = $errors.ToString(); ExitCode = $code }
    }

    function Set-State {
        param([string]$State)
        switch ($State) {
            'compliant' { Set-LdapValues Yes Yes dc=x dc=x }
            'not compliant' { Set-LdapValues no Yes dc=x dc=y }
            default { Set-LdapValues -NoKeys }
        }
    }
}

Describe 'The check scripts print one line on every path; ConfigMgr exits 0, Intune 1 only for a repair' {
    It '<State>: "<Line>"' -ForEach @(
        @{ State = 'compliant'; Line = 'RESULT: compliant'; DetectionExit = 0 }
        @{ State = 'not compliant'; Line = 'RESULT: not compliant - Enable Login Auth is not Yes; LdapSuffix*'; DetectionExit = 1 }
        @{ State = 'keys missing'; Line = 'RESULT: failed - could not read the settings*'; DetectionExit = 2 }
        @{ State = 'another copy running'; Line = 'RESULT: failed - another copy of Sorvane is running'; DetectionExit = 2 }
        @{ State = 'exe missing'; Line = 'RESULT: failed - could not start /nonexistent/Sorvane.exe*'; DetectionExit = 2 }
    ) {
        Set-State $State
        $exe = $env:SORVANE_EXE
        if ($State -eq 'exe missing') { $exe = '/nonexistent/Sorvane.exe' }
        $hold = $State -eq 'another copy running'
        $discovery = Invoke-FleetScript configmgr-discovery.ps1 @{ View = '32'; Exe = $exe } -HoldLock:$hold
        $detection = Invoke-FleetScript intune-detection.ps1 @{ View = '32'; Exe = $exe } -HoldLock:$hold

        $discovery.Lines.Count | Should -Be 1
        $discovery.Lines[0] | Should -BeLike $Line
        $discovery.ExitCode | Should -Be 0
        $discovery.Error | Should -BeNullOrEmpty
        $detection.Lines.Count | Should -Be 1
        $detection.Lines[0] | Should -Be $discovery.Lines[0]
        $detection.ExitCode | Should -Be $DetectionExit
        # A failed check is told on standard error too: a detection error, not a device without issues.
        if ($DetectionExit -eq 2) { $detection.Error.Trim() | Should -Be $detection.Lines[0] }
        else { $detection.Error | Should -BeNullOrEmpty }
    }
}

Describe 'The remediation scripts' {
    It '<Name>, <Case>: "<Line>", exit <Code>' -ForEach @(
        foreach ($name in 'configmgr-remediation.ps1', 'intune-remediation.ps1') {
            @{ Name = $name; Case = 'with a suffix'; State = 'not compliant'; Suffix = $cafe
                Line = 'RESULT: compliant, 3 changes made'; Code = 0; After = @('Yes', 'Yes', $cafe, $cafe) }
            @{ Name = $name; Case = 'without one'; State = 'not compliant'; Suffix = ''
                Line = 'RESULT: not compliant, 1 changes made - LdapSuffix and DNSuffix differ*'; Code = 2
                After = @('Yes', 'Yes', 'dc=x', 'dc=y') }
            @{ Name = $name; Case = 'keys missing'; State = 'keys missing'; Suffix = 'dc=x'
                Line = 'RESULT: failed - could not read the settings*'; Code = 1; After = @($null, $null, $null, $null) }
        }
    ) {
        Set-State $State
        $backup = Join-Path $TestDrive "$Name.reg"
        $log = Join-Path $TestDrive "$Name.log"
        $run = Invoke-FleetScript $Name @{ View = '32'; Exe = $env:SORVANE_EXE; Suffix = $Suffix
            BackupPath = (ConvertTo-WindowsPath $backup); LogPath = (ConvertTo-WindowsPath $log) }
        $run.Lines.Count | Should -Be 1
        $run.Lines[0] | Should -BeLike $Line
        $run.ExitCode | Should -Be $Code
        @((Get-LdapValues).Values) | Should -Be $After
        if ($Code -ne 1) {
            $backup | Should -Exist
            $log | Should -FileContentMatch 'Enable Login Auth'
        }
    }
}

Describe 'The inventory over remoting' {
    # Remoting cannot run here (no WSMan client on this host): Invoke-Command
    # runs each reachable server's part in this session, tagged as remoting
    # tags it, and fails for the others as remoting does.
    It 'writes a UTF-8 CSV with a row per server, the unreachable ones listed with the reason' {
        Set-LdapValues Yes Yes $cafe $cafe
        Mock Invoke-Command {
            foreach ($computer in $ComputerName) {
                if ($computer -like 'down*') {
                    Write-Error -Message "Connecting to remote server $computer failed" -TargetObject $computer `
                        -Category ResourceUnavailable
                } else {
                    & $ScriptBlock @ArgumentList |
                        Add-Member -NotePropertyName PSComputerName -NotePropertyValue $computer -PassThru
                }
            }
        }
        $csv = Join-Path $TestDrive 'ldap-settings.csv'
        & (Join-Path $env:SORVANE_FLEET 'inventory-to-csv.ps1') -ComputerName srv1, down1, srv2 -Path $csv `
            -View 32 -Exe $env:SORVANE_EXE -WarningVariable warnings -WarningAction SilentlyContinue

        [IO.File]::ReadAllBytes($csv)[0..2] | Should -Be @(0xEF, 0xBB, 0xBF)
        $rows = @(Import-Csv $csv)
        $rows.Server | Should -Be @('srv1', 'srv2', 'down1')
        $rows.Result | Should -Be @('compliant', 'compliant', 'unreachable')
        $rows[0].LdapSuffix | Should -BeExactly $cafe
        $rows[0].EnableCRAuth | Should -Be 'Yes'
        $rows[2].Reason | Should -Be 'Connecting to remote server down1 failed'
        $warnings | Should -Be 'Could not reach 1 of 3 servers: down1'
    }
}

Describe 'The Ansible tasks' {
    BeforeAll {
        $ansible = Get-Command ansible-playbook -ErrorAction Ignore
        $tasks = Join-Path $env:SORVANE_FLEET 'ansible-tasks.yml'
    }

    It 'pass ansible-playbook --syntax-check' -Skip:(-not (Get-Command ansible-playbook -ErrorAction Ignore)) {
        $playbook = Join-Path $TestDrive 'syntax.yml'
        Set-Content $playbook "- hosts: all`n  gather_facts: false`n  tasks:`n    - ansible.builtin.import_tasks: $tasks"
        $output = & $ansible.Source --syntax-check -i 'localhost,' $playbook 2>&1
        $LASTEXITCODE | Should -Be 0 -Because ($output -join "`n")
    }

    # The same tasks with ansible.builtin.command in place of win_command
    # (the same argv), run here against the exe: changed and failed come from
    # the document as they would on Windows.
    It 'report <Expect> for <Case>' -Skip:(-not (Get-Command ansible-playbook -ErrorAction Ignore)) -ForEach @(
        @{ Case = 'settings to correct'; State = 'not compliant'; Check = $false; Expect = 'changed=1*failed=0'; After = @('Yes', 'Yes', $cafe, $cafe) }
        @{ Case = 'the same in check mode'; State = 'not compliant'; Check = $true; Expect = 'changed=1*failed=0'; After = @('no', 'Yes', 'dc=x', 'dc=y') }
        @{ Case = 'compliant settings'; State = 'compliant'; Check = $false; Expect = 'changed=0*failed=0'; After = @('Yes', 'Yes', 'dc=x', 'dc=x') }
        @{ Case = 'keys missing'; State = 'keys missing'; Check = $false; Expect = 'changed=0*failed=1'; After = @($null, $null, $null, $null) }
    ) {
        Set-State $State
        $local = Join-Path $TestDrive 'local-tasks.yml'
        (Get-Content -Raw $tasks) -replace 'ansible\.windows\.win_command:', 'ansible.builtin.command:' |
            Set-Content $local
        $playbook = Join-Path $TestDrive 'run.yml'
        Set-Content $playbook ("- hosts: localhost`n  connection: local`n  gather_facts: false`n  tasks:`n" +
            "    - ansible.builtin.import_tasks: $local`n      vars:`n        sorvane_exe: $env:SORVANE_EXE`n" +
            "        sorvane_view: '32'`n        sorvane_suffix: '$cafe'`n" +
            "        sorvane_log: '$(ConvertTo-WindowsPath (Join-Path $TestDrive 'ansible.log'))'")
        $mode = @()
        if ($Check) { $mode = @('--check') }
        $env:ANSIBLE_NOCOLOR = '1'
        $output = (& $ansible.Source -i 'localhost,' @mode $playbook 2>&1) -join "`n"
        $output | Should -BeLike "*localhost*$Expect*" -Because $output
        @((Get-LdapValues).Values) | Should -Be $After
    }
}
