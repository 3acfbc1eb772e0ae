# The module's -Session through real PowerShell remoting: SSH sessions to this machine, served by
# an sshd of this file's own (loopback-sshd.sh: 127.0.0.1 only, its own port, keys and config),
# so each run of the exe happens in a remote PowerShell and its answer crosses remoting's real
# serialization. run-pester.sh skips the file, saying why, where openssh-server is missing.
# -ComputerName is WinRM, which cannot run here: Module.Tests.ps1 stands in for it.

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    $cafe = "dc=caf$([char]0xE9)"

    # The sshd, through a wrapper that stops it when stopped itself or when this PowerShell is gone.
    $sshdDir = Join-Path $TestDrive 'sshd'
    $start = New-Object System.Diagnostics.ProcessStartInfo 'bash'
    # The pwsh this runs in (as a .NET tool, its process is dotnet's).
    $pwsh = (Get-Command pwsh -CommandType Application | Select-Object -First 1).Source
    foreach ($argument in (Join-Path $PSScriptRoot 'loopback-sshd.sh'), $sshdDir, $pwsh, $PID) {
        $start.ArgumentList.Add([string]$argument)
    }
    $start.UseShellExecute = $false
    $start.RedirectStandardOutput, $start.RedirectStandardError = $true, $true
    $sshd = [System.Diagnostics.Process]::Start($start)
    $portFile = Join-Path $sshdDir 'port'
    for ($i = 0; $i -lt 300 -and -not (Test-Path $portFile) -and -not $sshd.HasExited; $i++) { Start-Sleep -Milliseconds 100 }
    if (-not (Test-Path $portFile)) {
        throw "the test's sshd did not start: $($sshd.StandardOutput.ReadToEnd()) $($sshd.StandardError.ReadToEnd())"
    }
    $port = [int](Get-Content $portFile)
    $hostKey = (Get-Content (Join-Path $sshdDir 'host_key.pub')) -split ' '
    Set-Content (Join-Path $sshdDir 'known_hosts') "[127.0.0.1]:$port $($hostKey[0]) $($hostKey[1])"
    $connect = @{
        HostName = '127.0.0.1'; Port = $port; UserName = [Environment]::UserName; KeyFilePath = (Join-Path $sshdDir 'client_key')
        Options  = @{ UserKnownHostsFile = (Join-Path $sshdDir 'known_hosts'); StrictHostKeyChecking = 'yes'; BatchMode = 'yes' }
    }
    $sessions = @(1..3 | ForEach-Object { New-PSSession @connect })
}

AfterAll {
    if (Get-Variable sessions -ErrorAction Ignore) { $sessions | Remove-PSSession }
    # SIGTERM, which the wrapper hands on to its sshd (Stop-Process would kill the wrapper alone).
    if ((Get-Variable sshd -ErrorAction Ignore) -and $sshd -and -not $sshd.HasExited) {
        & /bin/kill -TERM $sshd.Id
        $sshd.WaitForExit(10000) | Out-Null
    }
}

Describe 'Remoting through real sessions' {
    It 'reaches only 127.0.0.1, in sessions whose PowerShell is another process' {
        Get-Content (Join-Path $sshdDir 'sshd_config') | Where-Object { $_ -like 'ListenAddress *' } |
            Should -Be "ListenAddress 127.0.0.1:$port"
        $remote = @(Invoke-Command -Session $sessions { $PID })
        $remote | Select-Object -Unique | Should -HaveCount 3
        $remote | Should -Not -Contain $PID
    }

    # Values that the deserializer and ConvertFrom-Json must leave as texts: a non-ASCII letter,
    # and one that looks like a date.
    It 'checks and reads through several sessions one at a time, values exact after deserialization' {
        Set-LdapValues Yes Yes $cafe $cafe
        $answers = @(Test-SorvaneLdapSetting -Session $sessions -ThrottleLimit 1 -ExePath $env:SORVANE_EXE -ErrorVariable failures)
        $failures | Should -BeNullOrEmpty
        $answers | Should -HaveCount 3
        $answers.Compliant + $answers.ExitCode + $answers.ComputerName | Should -Be (@($true) * 3 + @(0) * 3 + @('127.0.0.1') * 3)
        $answers[0].Settings.Text | Should -BeExactly @('Yes', 'Yes', $cafe, $cafe)
        Set-LdapValues Yes Yes dc=x '2024-01-02T03:04:05'
        $settings = @(Get-SorvaneLdapSetting -Session $sessions[1] -ExePath $env:SORVANE_EXE)
        $settings.Text | Should -BeOfType [string]
        $settings.Text | Should -BeExactly @('Yes', 'Yes', 'dc=x', '2024-01-02T03:04:05')
        $settings.Passes | Should -Be @($true, $true, $false, $false)
    }

    It 'repairs through a session a suffix with quotes and backslashes, stored exactly, under <_> argument passing there' -ForEach 'Standard', 'Legacy' {
        $suffix = 'o=\"Ac"me\",dc=com\\'
        Set-LdapValues no Yes dc=x dc=y
        Invoke-Command -Session $sessions[0] { param($passing) $global:PSNativeCommandArgumentPassing = $passing } -ArgumentList $_
        $log = Join-Path $TestDrive "$_.log"
        $result = Repair-SorvaneLdapSetting -Session $sessions[0] -Suffix $suffix -LogPath (ConvertTo-WindowsPath $log) `
            -ExePath $env:SORVANE_EXE -Verbose -ErrorVariable failures 4>&1
        $failures | Should -BeNullOrEmpty
        ($result | Where-Object { $_ -is [System.Management.Automation.VerboseRecord] }) -join "`n" |
            Should -BeLike "*($_ argument passing)*"
        $repair = $result | Where-Object { $_ -isnot [System.Management.Automation.VerboseRecord] }
        @($repair.Result, $repair.ChangesMade, $repair.ComputerName) | Should -Be @('compliant', 3, '127.0.0.1')
        @(Get-LdapValues) | Should -BeExactly @('Yes', 'Yes', $suffix, $suffix)
        $log | Should -FileContentMatchExactly ([regex]::Escape('RESULT: compliant, 3 changes made'))
    }

    It 'goes on past a session whose remote end died, with an error naming it' {
        Set-LdapValues Yes Yes dc=x dc=x
        $doomed = New-PSSession @connect
        try {
            & /bin/kill -KILL (Invoke-Command -Session $doomed { $PID })
            # Until the client sees the end, a command sent there waits for an answer that never comes.
            for ($i = 0; $i -lt 200 -and $doomed.State -ne 'Broken'; $i++) { Start-Sleep -Milliseconds 100 }
            $doomed.State | Should -Be 'Broken'
            $answers = @(Test-SorvaneLdapSetting -Session $sessions[0], $doomed, $sessions[2] -ThrottleLimit 1 `
                    -ExePath $env:SORVANE_EXE -ErrorVariable failures -ErrorAction SilentlyContinue)
        } finally {
            Remove-PSSession $doomed
        }
        $answers.Compliant | Should -Be @($true, $true)
        $failures | Should -HaveCount 1
        $failures[0].FullyQualifiedErrorId | Should -Be 'SorvaneComputerUnreachable,Test-SorvaneLdapSetting'
        $failures[0].Exception.Message | Should -BeLike '127.0.0.1: *The session state is Broken.'
        $failures[0].TargetObject | Should -Be $doomed
    }
}
