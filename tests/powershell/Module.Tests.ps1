# The Sorvane module and its DSC resource against the real exe under Wine: objects and errors
# for each outcome, what the exe receives under each way PowerShell hands arguments over, the
# repair and its -WhatIf, many computers, the help, the resource's Get, Test and Set; and every
# shipped script read by PowerShell's parser for what Windows PowerShell 5.1 cannot run.

BeforeDiscovery {
    $cafe = "dc=caf$([char]0xE9)"
    $good, $bad, $ruleOne = @('Yes', 'Yes', 'dc=x', 'dc=x'), @('no', 'Yes', 'dc=x', 'dc=y'), @('Yes', 'Yes', 'dc=x', 'dc=y')
    $empty = '"computer":"c","mode":"check","view":"32-bit","values":[],"problems":[],"writes":[],"backupFile":null,"changesMade":0'
    # Each suffix under both ways of handing arguments over: Legacy is Windows PowerShell 5.1's
    # (joined as they are: inner quotes not escaped, empty ones dropped).
    $suffixes = @('o=\"Acme\",dc=com', 'dc=a"b"', '"dc=q"', 'dc=a"b', 'dc=a\"b', 'dc=x\\', 'dc=$x`y', '-dc=x', '/check',
        'dc=example, dc=com')
    $passed = foreach ($passing in 'Standard', 'Legacy') {
        foreach ($suffix in $suffixes) { @{ Passing = $passing; Suffix = $suffix; Seed = $ruleOne } }
        @{ Passing = $passing; Suffix = ' dc=x'; Refused = '*the /suffix: value must not begin or end with a blank*'; Seed = $ruleOne }
        @{ Passing = $passing; Suffix = ''; Refused = '/suffix needs a value*'; Seed = $ruleOne }
    }
    $shipped = @(Get-Item (Join-Path $env:SORVANE_MODULE 'Sorvane.psm1')) + @(Get-ChildItem $env:SORVANE_FLEET -Filter *.ps1) |
        ForEach-Object { @{ Name = $_.Name; Path = $_.FullName } }
}

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    $here = [Environment]::MachineName
    $stub = "$PSScriptRoot/one-line.sh"
    $passingAsStarted = $PSNativeCommandArgumentPassing
}

Describe 'The module' {
    AfterEach {
        $global:PSNativeCommandArgumentPassing = $passingAsStarted
        $env:SORVANE_STUB_LINE, $env:SORVANE_STUB_EXIT = $null, $null
    }

    It 'carries the version of the exe and exports the DSC resource' {
        Set-LdapValues Yes Yes dc=x dc=x
        $manifest = Import-PowerShellDataFile (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1')
        $manifest.ModuleVersion | Should -Be (@(& $env:SORVANE_EXE /check /json) -join '' | ConvertFrom-Json).version
        $manifest.DscResourcesToExport | Should -Be 'SorvaneLdapSettings'
    }

    # The third row: a non-ASCII letter through the JSON, and a text that ConvertFrom-Json
    # makes a date where it is not given -DateKind (as in PowerShell 7.0 to 7.4).
    It 'gives the four values as stored, their checks and the verdict: <Seed>' -ForEach @(
        @{ Seed = $good; Passes = @($true, $true, $true, $true); Compliant = $true }
        @{ Seed = @('Yes', 'no', 'dc=x', 'dc=y'); Passes = @($true, $false, $false, $false); Compliant = $false }
        @{ Seed = @('Yes', 'Yes', $cafe, '2024-01-02T03:04:05'); Passes = @($true, $true, $false, $false); Compliant = $false
            Dated = $true }
    ) {
        Set-LdapValues @Seed
        if ($Dated) { ConvertFrom-Json "`"$($Seed[3])`"" | Should -BeOfType [datetime] }
        $settings = @(Get-SorvaneLdapSetting -View 32)
        $settings.Name | Should -Be @('Enable Login Auth', 'Enable CR Auth', 'LdapSuffix', 'DNSuffix')
        $settings.Text | Should -BeOfType [string]
        $settings.Text | Should -BeExactly $Seed
        $settings.Passes | Should -Be $Passes
        $settings.ComputerName + $settings.View | Should -Be (@($here) * 4 + @('32') * 4)
        Test-SorvaneLdapSetting -View 32 | Should -BeExactly $Compliant
    }

    # Filed by the reasonId alone: the rows with a stand-in exe give reasons in other words.
    It 'makes a failed run an error of Get- and Test-, <Id> (<Category>), with no answer: <Reason>' -ForEach @(
        @{ Id = 'SorvaneSettingsUnreadable'; Category = 'ReadError'; ReasonId = 'keysUnreadable'; Reason = 'could not read the settings*' }
        @{ Id = 'SorvaneExeNotFound'; Category = 'ObjectNotFound'; ReasonId = 'exeNotFound'; Reason = 'could not start /nonexistent/Sorvane.exe*'
            Exe = '/nonexistent/Sorvane.exe' }
        @{ Id = 'SorvaneReportInvalid'; Category = 'InvalidResult'; ReasonId = 'reportInvalid'; Exe = 'stub'
            Reason = '* printed no report: RESULT: failed - another copy of Sorvane is running' }
        @{ Id = 'SorvaneReportInvalid'; Category = 'InvalidResult'; ReasonId = 'reportInvalid'; Exe = 'stub'
            Reason = '* printed a report without computer, mode, view, values, *, reasonId, exitCode: {"result":"compliant"}'
            Line = '{"result":"compliant"}' }
        @{ Id = 'SorvaneReportInvalid'; Category = 'InvalidResult'; ReasonId = 'reportInvalid'; Exe = 'stub'
            Reason = "* printed the result 'compliant' with the exit code 0 and exited with 1: *"
            Line = "{$empty,`"result`":`"compliant`",`"reasonId`":null,`"exitCode`":0}" }
        @{ Id = 'SorvaneReportInvalid'; Category = 'InvalidResult'; ReasonId = 'reportInvalid'; Exe = 'stub'
            Reason = '* printed a report without reasonId: *'
            Line = "{$empty,`"result`":`"failed`",`"reason`":`"could not read the settings`",`"reasonId`":null,`"exitCode`":1}" }
        @{ Id = 'SorvaneAlreadyRunning'; Category = 'ResourceBusy'; ReasonId = 'anotherCopyRunning'; Exe = 'stub'; Reason = 'une autre copie tourne'
            Line = "{$empty,`"result`":`"failed`",`"reason`":`"une autre copie tourne`",`"reasonId`":`"anotherCopyRunning`",`"exitCode`":1}" }
        @{ Id = 'SorvaneToolFailed'; Category = 'NotSpecified'; ReasonId = 'diskOnFire'; Exe = 'stub'; Reason = 'a newer failure'
            Line = "{$empty,`"result`":`"failed`",`"reason`":`"a newer failure`",`"reasonId`":`"diskOnFire`",`"exitCode`":1}" }
    ) {
        Set-LdapValues
        if (-not $Exe) { $Exe = $env:SORVANE_EXE } elseif ($Exe -eq 'stub') { $Exe = $stub }
        $env:SORVANE_STUB_LINE = $Line
        $answers = @(Test-SorvaneLdapSetting -ExePath $Exe -ErrorVariable failures -ErrorAction SilentlyContinue) +
            @(Get-SorvaneLdapSetting -ExePath $Exe -ErrorVariable +failures -ErrorAction SilentlyContinue)
        $answers.Count | Should -Be 0
        $failures.Count | Should -Be 2
        $failures.FullyQualifiedErrorId | Should -BeLike "$Id,*"
        $failures.CategoryInfo.Category | Should -Be @($Category, $Category)
        $failures.Exception.Message | Should -BeLike $Reason
        $failures.TargetObject.ComputerName | Should -Be @($here, $here)
        $failures.TargetObject.ReasonId | Should -Be @($ReasonId, $ReasonId)
    }

    It 'hands the exe the suffix <Suffix> as given under <Passing> argument passing' -ForEach $passed {
        Set-LdapValues @Seed
        $global:PSNativeCommandArgumentPassing = $Passing
        New-Item -ItemType Directory -Force "$TestDrive/with blank" | Out-Null
        # After the first row the backup exists, and each run's goes beside it.
        $output = @(Repair-SorvaneLdapSetting -Suffix $Suffix -BackupPath (ConvertTo-WindowsPath "$TestDrive/with blank/before.reg") `
                -Verbose -ErrorVariable failures -ErrorAction SilentlyContinue 4>&1)
        $result = $output | Where-Object { $_ -isnot [System.Management.Automation.VerboseRecord] }
        if ($Refused) {
            $failures.FullyQualifiedErrorId | Should -BeLike 'SorvaneUsageError,*'
            $failures.Exception.Message | Should -BeLike $Refused
            @(Get-LdapValues) | Should -BeExactly $Seed
        } else {
            $failures.Count | Should -Be 0 -Because "$failures"
            @($result.Result, $result.ExitCode) | Should -Be @('compliant', 0)
            @(Get-LdapValues) | Should -BeExactly @('Yes', 'Yes', $Suffix, $Suffix)
            ($result.BackupFile -replace '^Z:', '' -replace '\\', '/') | Should -Exist
        }
        ($output -join "`n") | Should -BeLike "*: ran * ($Passing argument passing): exit code *"
    }

    It 'refuses a suffix the exe read otherwise than given, and writes nothing' {
        $env:SORVANE_STUB_LINE = '{"computer":"c","mode":"whatif","view":"32-bit","values":[],"problems":[],"backupFile":null,' +
            '"changesMade":0,"writes":[{"key":"k","name":"LdapSuffix","old":"dc=x","new":"o=Acme","done":false}],' +
            '"result":"compliant","reasonId":null,"exitCode":0}'
        $env:SORVANE_STUB_EXIT = 0
        Repair-SorvaneLdapSetting -Suffix 'o="Acme"' -ExePath $stub -ErrorVariable failures -ErrorAction SilentlyContinue | Should -BeNullOrEmpty
        $failures.FullyQualifiedErrorId | Should -BeLike 'SorvaneArgumentChanged,*'
        $failures.Exception.Message | Should -BeLike "* was asked for the suffix 'o=`"Acme`"' and read 'o=Acme' from its command line"
    }

    # Without -Confirm nothing asks (the impact is Medium); -Confirm in the last rows would ask,
    # and fail in this non-interactive session, were there a write. Logged: the log's last line.
    It 'repairs <Case>: <Verdict>, <Changes> changes, no error, and logs "<Logged>"' -ForEach @(
        @{ Case = 'with -WhatIf'; Seed = $bad; Options = @{ Suffix = $cafe; WhatIf = $true }; After = $bad }
        @{ Case = 'with -Suffix'; Seed = $bad; Options = @{ Suffix = $cafe }; Verdict = 'compliant'; Changes = 3; Exit = 0
            After = @('Yes', 'Yes', $cafe, $cafe); Logged = '* RESULT: compliant, 3 changes made' }
        @{ Case = 'without -Suffix, beside a backup there'; Seed = $bad; Options = @{}; Verdict = 'not compliant'; Changes = 1; Exit = 2
            After = $ruleOne; Existing = $true; Logged = '* RESULT: not compliant, 1 changes made - LdapSuffix and DNSuffix differ*' }
        @{ Case = 'with nothing to correct'; Seed = $good; Options = @{ Confirm = $true }; Verdict = 'compliant'; Changes = 0; Exit = 0
            After = $good; Logged = '* CHECK RESULT: compliant' }
        @{ Case = 'with nothing it may correct'; Seed = $ruleOne; Options = @{ Confirm = $true }; Verdict = 'not compliant'; Changes = 0
            Exit = 2; After = $ruleOne; Logged = '* CHECK RESULT: not compliant - LdapSuffix and DNSuffix differ*' }
    ) {
        Set-LdapValues @Seed
        $backup, $log = (Join-Path $TestDrive "$Case.reg"), (Join-Path $TestDrive "$Case.log")
        if ($Existing) { Set-Content $backup 'kept' }
        $result = Repair-SorvaneLdapSetting @Options -BackupPath (ConvertTo-WindowsPath $backup) `
            -LogPath (ConvertTo-WindowsPath $log) -ErrorVariable failures
        $failures.Count | Should -Be 0
        @($result.Result, $result.ChangesMade, $result.ExitCode) | Should -Be @($Verdict, $Changes, $Exit)
        @(Get-LdapValues) | Should -Be $After
        if ($Verdict -eq 'not compliant') { $result.Problems | Should -BeLike 'LdapSuffix and DNSuffix differ*' }
        if ($Changes) {
            $log | Should -FileContentMatch 'Enable Login Auth'
            $written = $result.BackupFile -replace '^Z:', '' -replace '\\', '/'
            $written | Should -FileContentMatch 'QXLDAPSRV'
            ($written -eq $backup) | Should -Be (-not $Existing)
        } else {
            $result.BackupFile | Should -BeNullOrEmpty
        }
        if ($Existing) { Get-Content $backup | Should -Be 'kept' }
        if ($Logged) { @(Get-Content $log)[-1] | Should -BeLike $Logged } else { $log | Should -Not -Exist }
    }

    # No WSMan client on this host: Invoke-Command runs each computer's part in this session,
    # tagged as remoting tags it, and fails for the unreachable ones as remoting does.
    It 'takes computers from the pipeline, skips blank names, and goes on past one that fails or cannot be reached' {
        Set-LdapValues Yes Yes dc=x dc=x
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
        $computers = 'srv1', ' ', 'down1', 'broken', 'srv2' | ForEach-Object { [pscustomobject]@{ DNSHostName = $_ } }
        $answers = @($computers | Test-SorvaneLdapSetting -ThrottleLimit 7 -ErrorVariable failures -ErrorAction SilentlyContinue `
                -WarningVariable warnings -WarningAction SilentlyContinue)
        $answers.ComputerName + $answers.Compliant + $answers.ExitCode + $answers.View |
            Should -Be @('srv1', 'srv2', $true, $true, 0, 0, '32', '32')
        $failures.Count | Should -Be 2
        @($failures[0].FullyQualifiedErrorId, $failures[0].TargetObject) | Should -Be @('SorvaneComputerUnreachable,Test-SorvaneLdapSetting', 'down1')
        $failures[0].Exception.Message | Should -Be 'down1: Connecting to remote server down1 failed'
        @($failures[1].FullyQualifiedErrorId, $failures[1].TargetObject.ComputerName) | Should -Be @('SorvaneExeNotFound,Test-SorvaneLdapSetting', 'broken')
        $warnings | Should -Be 'Skipped a blank computer name.'
        Should -Invoke -ModuleName Sorvane Invoke-Command -Times 1 -Exactly -ParameterFilter { $ThrottleLimit -eq 7 }
        @('srv1' | Get-SorvaneLdapSetting).ComputerName | Should -Be (@('srv1') * 4)
        # A parameter of another set is refused, not ignored.
        { Test-SorvaneLdapSetting -Credential ([pscredential]::new('u', (New-Object securestring))) } |
            Should -Throw -ErrorId 'MissingMandatoryParameter*'
        { Test-SorvaneLdapSetting -ThrottleLimit 2 } | Should -Throw -ErrorId 'AmbiguousParameterSet*'
    }

    # An empty server list binds no computer, and would look like a call for here: were anything
    # run here, the registry would show it; were anything run elsewhere, the mock would.
    It '<Command> runs nowhere for <Case>: no output, no write, a warning' -ForEach @(
        foreach ($command in 'Get-SorvaneLdapSetting', 'Test-SorvaneLdapSetting', 'Repair-SorvaneLdapSetting') {
            @{ Command = $command; Seed = $bad; Case = 'an empty pipeline'; Call = { param($c) @() | & $c } }
            @{ Command = $command; Seed = $bad; Case = 'a filter that matches nothing'; Call = { param($c) 'srv1' | Where-Object { $_ -eq 'x' } | & $c } }
            @{ Command = $command; Seed = $bad; Case = '-ComputerName @()'; Call = { param($c) & $c -ComputerName @() } }
            @{ Command = $command; Seed = $bad; Case = '-Session @()'; Call = { param($c) & $c -Session @() } }
            @{ Command = $command; Seed = $bad; Case = 'blank names only'; Call = { param($c) '', ' ' | & $c }; Blanks = 2 }
        }
    ) {
        Set-LdapValues @Seed
        Mock -ModuleName Sorvane Invoke-Command { }
        $output = @(& $Call $Command 3>&1)
        $warnings = @($output | Where-Object { $_ -is [System.Management.Automation.WarningRecord] } | ForEach-Object Message)
        @($output | Where-Object { $_ -isnot [System.Management.Automation.WarningRecord] }) | Should -BeNullOrEmpty
        $warnings | Should -Be (@('Skipped a blank computer name.') * [int]$Blanks + 'No computer was given: nothing was run.')
        @(Get-LdapValues) | Should -Be $Seed
        Should -Invoke -ModuleName Sorvane Invoke-Command -Times 0 -Exactly
    }

    # As admins install it: a folder registered as a repository, holding the package that
    # tools/package.sh makes (with this tree's exe in it), installed by Install-PSResource for a
    # PowerShell whose home (its CurrentUser scope and repository list) is scratch.
    It 'installs from a repository, imported by name, and finds its exe beside it' {
        Set-LdapValues Yes Yes dc=x dc=x
        $version = (Import-PowerShellDataFile (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1')).ModuleVersion
        $folder, $feed, $scratch = 'module', 'feed', 'home' | ForEach-Object { New-Item -ItemType Directory (Join-Path $TestDrive $_) }
        Copy-Item (Join-Path $env:SORVANE_MODULE '*'), $env:SORVANE_TOOL $folder
        & python3 (Join-Path $PSScriptRoot '../../packaging/powershell/sorvane_nupkg.py') $folder $version $feed |
            Should -Be (Join-Path $feed "Sorvane.$version.nupkg")
        $exe = Split-Path $env:SORVANE_TOOL -Leaf
        $commands = "Register-PSResourceRepository -Name Feed -Uri '$feed' -Trusted
            Install-PSResource -Name Sorvane -Repository Feed -Scope CurrentUser -ErrorAction Stop
            Import-Module Sorvane -ErrorAction Stop
            `$base = (Get-Module Sorvane).ModuleBase
            `$base
            Test-SorvaneLdapSetting -ErrorVariable lookup -ErrorAction SilentlyContinue
            `$lookup.TargetObject.Exe
            `$env:SORVANE_TOOL = Join-Path `$base '$exe'
            Test-SorvaneLdapSetting -ExePath '$env:SORVANE_EXE'"
        $output = @(& env -u PSModulePath -u SORVANE_EXE -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME "HOME=$scratch" `
                pwsh -NoProfile -NonInteractive -Command $commands 2>&1)
        $base = Join-Path $scratch ".local/share/powershell/Modules/Sorvane/$version"
        $output | Should -Be @($base, (Join-Path $base 'Sorvane.exe'), 'True') -Because ($output -join "`n")
        Join-Path $base $exe | Should -Exist
    }

    It 'has help for <_>: a synopsis, every parameter, the outputs and examples' -ForEach @(
        'Get-SorvaneLdapSetting', 'Test-SorvaneLdapSetting', 'Repair-SorvaneLdapSetting'
    ) {
        $help = Get-Help $_ -Full
        $help.Synopsis | Should -Not -BeLike "*$_ *"  # what Get-Help makes up where there is none
        $common = [System.Management.Automation.PSCmdlet]::CommonParameters + [System.Management.Automation.PSCmdlet]::OptionalCommonParameters
        foreach ($name in (Get-Command $_).Parameters.Keys | Where-Object { $common -notcontains $_ }) {
            @($help.parameters.parameter | Where-Object name -EQ $name).description.Text | Should -Not -BeNullOrEmpty -Because $name
        }
        $help.returnValues.returnValue.type.name | Should -Not -BeNullOrEmpty
        @($help.examples.example).Count | Should -BeGreaterThan 1
    }

    It 'has a DSC resource whose Get reads and gives reasons, Test agrees, Set corrects Rule One and the suffixes given one, and a failed run throws' {
        Set-LdapValues no Yes dc=x dc=y
        $resource = & (Get-Module Sorvane) { [SorvaneLdapSettings]::new() }
        $resource.View = '32'
        $state = $resource.Get()
        @($state.EnableLoginAuth, $state.EnableCRAuth, $state.LdapSuffix, $state.DNSuffix, $state.Compliant) |
            Should -Be @('no', 'Yes', 'dc=x', 'dc=y', $false)
        $state.Reasons.Code | Should -Be ('EnableLoginAuth', 'LdapSuffix', 'DNSuffix' | ForEach-Object { "SorvaneLdapSettings:SorvaneLdapSettings:$_" })
        $state.Reasons[0].Phrase | Should -Be "Enable Login Auth is 'no' (REG_SZ): Enable Login Auth is not Yes"
        $resource.Test() | Should -BeFalse
        { $resource.Set() } | Should -Throw '*still not compliant*LdapSuffix and DNSuffix differ*'
        @(Get-LdapValues) | Should -Be @('Yes', 'Yes', 'dc=x', 'dc=y')
        $global:PSNativeCommandArgumentPassing = 'Legacy'
        $resource.Suffix = 'o=\"Acme\",dc=com'
        $resource.Set()
        @(Get-LdapValues) | Should -BeExactly @('Yes', 'Yes', $resource.Suffix, $resource.Suffix)
        $resource.Test() | Should -BeTrue
        $resource.Get().Reasons | Should -BeNullOrEmpty
        $resource.Suffix = ' dc=x'  # never written: refused by a set alone
        $resource.Test() | Should -BeFalse
        { $resource.Set() } | Should -Throw -ErrorId 'SorvaneUsageError' -ExpectedMessage '*"suffix" must not begin or end with a blank*'
        Set-LdapValues
        { $resource.Get() } | Should -Throw -ErrorId 'SorvaneSettingsUnreadable' -ExpectedMessage 'Sorvane: could not read the settings*'
        { $resource.Set() } | Should -Throw -ErrorId 'SorvaneSettingsUnreadable' -ExpectedMessage 'Sorvane: could not read the settings*'
    }

    # The native resource's meaning: the suffix both values must hold, written into each that
    # does not; Get() reports the suffix the two hold, empty where they differ.
    It 'has a DSC resource whose Suffix both values must hold: <Case>' -ForEach @(
        @{ Case = 'both hold another'; Seed = @('Yes', 'Yes', 'dc=old', 'dc=old'); Suffix = 'dc=new'; Held = 'dc=old'
            Differ = 'LdapSuffix', 'DNSuffix' }
        @{ Case = 'one holds it'; Seed = @('Yes', 'Yes', 'dc=new', 'dc=old'); Suffix = 'dc=new'; Held = ''; Differ = @('DNSuffix') }
        @{ Case = 'both hold it, with a blank inside'; Seed = @('Yes', 'Yes', 'dc=example, dc=com', 'dc=example, dc=com')
            Suffix = 'dc=example, dc=com'; Held = 'dc=example, dc=com'; Differ = @() }
        @{ Case = 'a non-ASCII one given'; Seed = $good; Suffix = $cafe; Held = 'dc=x'; Differ = 'LdapSuffix', 'DNSuffix' }
    ) {
        Set-LdapValues @Seed
        $resource = & (Get-Module Sorvane) { [SorvaneLdapSettings]::new() }
        $resource.View, $resource.Suffix = '32', $Suffix
        $state = $resource.Get()
        $inState = @($Differ).Count -eq 0
        @($state.Suffix, $state.Compliant) | Should -BeExactly @($Held, $inState)
        @($state.Reasons.Code) | Should -Be @($Differ | ForEach-Object { "SorvaneLdapSettings:SorvaneLdapSettings:$_" })
        $resource.Test() | Should -Be $inState
        $resource.Set()
        @(Get-LdapValues) | Should -BeExactly @('Yes', 'Yes', $Suffix, $Suffix)
        $resource.Test() | Should -BeTrue
    }
}

# There is no PSScriptAnalyzer on this feed: PowerShell's own parser reads each file, and what
# Windows PowerShell 5.1 cannot parse or run is refused by name.
Describe 'The shipped scripts' {
    BeforeAll {
        # Parameters added after 5.1; a file may use one only splatted, behind a check that
        # the command has it (.Parameters.ContainsKey('Name')).
        $newer = @{
            'ConvertFrom-Json' = 'AsHashtable', 'DateKind', 'Depth', 'NoEnumerate'
            'ConvertTo-Json'   = 'AsArray', 'EnumsAsStrings', 'EscapeHandling'
            'ForEach-Object'   = 'Parallel', 'ThrottleLimit', 'TimeoutSeconds'
            'Get-Content'      = 'AsByteStream'
            'Set-Content'      = 'AsByteStream'
            'Join-Path'        = 'AdditionalChildPath'
            'Export-Csv'       = 'UseQuotes', 'QuoteFields', 'IncludeTypeInformation'
            'Select-String'    = 'Raw', 'NoEmphasis'
            'Split-Path'       = 'LeafBase', 'Extension'
            'Sort-Object'      = 'Top', 'Bottom', 'Stable'
            'Start-Process'    = 'Environment'
        }
        $newerVariables = 'IsWindows', 'IsLinux', 'IsMacOS', 'IsCoreCLR', 'PSStyle', 'PSNativeCommandArgumentPassing'

        function Get-Unsupported51([string]$Text) {
            $tokens, $errors = $null, $null
            $ast = [System.Management.Automation.Language.Parser]::ParseInput($Text, [ref]$tokens, [ref]$errors)
            foreach ($parseError in $errors) { "parse error: $($parseError.Message)" }
            foreach ($node in $ast.FindAll({ $true }, $true)) {
                $kind = $node.GetType().Name
                if ($kind -eq 'TernaryExpressionAst') { 'ternary' }
                if ($kind -eq 'PipelineChainAst') { 'pipeline chain' }
                if ($kind -eq 'BinaryExpressionAst' -and "$($node.Operator)" -eq 'QuestionQuestion') { '??' }
                if ($kind -eq 'AssignmentStatementAst' -and "$($node.Operator)" -eq 'QuestionQuestionEquals') { '??=' }
                if ($node.PSObject.Properties['NullConditional'] -and $node.NullConditional) { '?. or ?[]' }
                if ($kind -eq 'ScriptBlockAst' -and $node.CleanBlock) { 'clean block' }
                if ($kind -eq 'VariableExpressionAst' -and $newerVariables -contains $node.VariablePath.UserPath) {
                    "`$$($node.VariablePath.UserPath)"
                }
                if ($kind -eq 'CommandAst' -and $newer.ContainsKey([string]$node.GetCommandName())) {
                    foreach ($parameter in $node.CommandElements | Where-Object { $_ -is [System.Management.Automation.Language.CommandParameterAst] }) {
                        $name = $newer[$node.GetCommandName()] | Where-Object { $_ -eq $parameter.ParameterName }
                        if ($name -and $Text -notmatch "Parameters\.ContainsKey\('$name'\)") { "$($node.GetCommandName()) -$name" }
                    }
                }
            }
            if ($Text -match '[^\x00-\x7F]') { 'not ASCII' }
        }
    }

    It 'finds each construct it refuses' {
        $text = '$a ? 1 : 2; $b ?? 3; $c ??= 4; ${d}?.e; ${f}?[0]; a && b; $IsWindows; ConvertFrom-Json x -DateKind String; ' +
            "function g { clean { } }; Split-Path x -LeafBase; $([char]0xE9)"
        Get-Unsupported51 $text | Should -Be @('ternary', '??', '??=', '?. or ?[]', '?. or ?[]', 'pipeline chain', '$IsWindows',
            'ConvertFrom-Json -DateKind', 'clean block', 'Split-Path -LeafBase', 'not ASCII')
    }

    It '<Name> parses and uses nothing Windows PowerShell 5.1 lacks' -ForEach $shipped {
        Get-Unsupported51 (Get-Content -Raw $Path) | Should -BeNullOrEmpty
    }
}
