# The Sorvane module: the LDAP settings check and repair of Sorvane.exe as
# PowerShell commands and a class-based DSC resource.
#
# Every command runs the exe with /json and reads its one JSON document: the
# document is plain ASCII (every other character escaped), so it reads the
# same whatever code page PowerShell or remoting decodes the exe's output
# with, where the exe's text lines would arrive garbled.
#
# The module must load in Windows PowerShell 5.1 as well as PowerShell 7:
# no ternaries, no null-coalescing, no pipeline chains (the tests parse it
# and refuse them).

Set-StrictMode -Version 2.0

# Runs the exe where it is, here or (through Invoke-Command) on a remote
# computer, so it needs nothing of this module there: the exe is named by
# $Exe, else by SORVANE_EXE, else it is the one beside the module (the module
# folder $ModuleBase, or the newest Sorvane module installed there). Returns
# the arguments as handed over, the output lines and exit code; the document
# is read by the caller.
$script:RunTool = {
    param([string]$Exe, [string[]]$Arguments, [string]$ModuleBase)
    if (-not $Exe) { $Exe = $env:SORVANE_EXE }
    if (-not $Exe) {
        if (-not $ModuleBase) {
            $installed = Get-Module -ListAvailable -Name Sorvane | Sort-Object Version -Descending |
                Select-Object -First 1
            if ($installed) { $ModuleBase = $installed.ModuleBase }
        }
        # Sorvane64.exe is for 64-bit Windows without WoW64 (Server Core
        # with the feature removed, WinPE x64), where Sorvane.exe cannot
        # start; everywhere else the 32-bit exe is the one to run.
        $name = 'Sorvane.exe'
        if ($env:windir -and [Environment]::Is64BitOperatingSystem -and
            -not (Test-Path -LiteralPath (Join-Path $env:windir 'SysWOW64\kernel32.dll'))) {
            $name = 'Sorvane64.exe'
        }
        if ($ModuleBase) { $Exe = Join-Path $ModuleBase $name } else { $Exe = $name }
    }
    $result = [pscustomobject]@{ Exe = $Exe; Passing = 'Standard'; Passed = @($Arguments); Lines = @()
                                 ExitCode = $null; StartError = $null }
    # Looked up first, quietly: a failed start caught here would still land
    # in the caller's -ErrorVariable.
    $program = Get-Command -Name $Exe -CommandType Application -ErrorAction Ignore | Select-Object -First 1
    if (-not $program) {
        $result.StartError = 'no such program'
        return $result
    }
    # Windows PowerShell 5.1, PowerShell 7.0 to 7.2, and later ones with
    # $PSNativeCommandArgumentPassing Legacy (or Windows, for a script host)
    # join the arguments into the command line as they are: a quote inside
    # one is not escaped and an empty one vanishes, so the exe would read
    # another text. There each argument goes already quoted as the exe's
    # CommandLineToArgvW reads it back, every blank inside the quotes, so
    # PowerShell adds no quotes of its own.
    $passing = Get-Variable -Name PSNativeCommandArgumentPassing -ValueOnly -ErrorAction Ignore
    if ($passing -ne 'Standard' -and ($passing -ne 'Windows' -or $program.Source -match '\.(bat|cmd|js|vbs|wsf)$')) {
        $result.Passing = 'Legacy'
        $result.Passed = @(foreach ($argument in $Arguments) {
                # A backslash is itself except before a quote, where each doubles and the quote is escaped.
                $quoted = [regex]::Replace($argument, '(\\*)"', '$1$1\"')
                if ($argument -and $argument -notmatch '\s') { $quoted }
                else { '"' + [regex]::Replace($quoted, '(\\+)$', '$1$1') + '"' }
            })
    }
    try {
        $passed = $result.Passed
        # @() keeps a one-line output a list of one line, not a string.
        $result.Lines = @(& $program.Source @passed 2>$null | ForEach-Object { [string]$_ })
        $result.ExitCode = $LASTEXITCODE
    } catch {
        $result.StartError = $_.Exception.Message
    }
    $result
}

# What a table shows unless asked for more.
Update-TypeData -TypeName Sorvane.LdapSetting -DefaultDisplayPropertySet ComputerName, Name, Text, Passes -Force
Update-TypeData -TypeName Sorvane.Compliance -DefaultDisplayPropertySet ComputerName, Compliant, Problems -Force
Update-TypeData -TypeName Sorvane.Repair -DefaultDisplayPropertySet ComputerName, Result, ChangesMade, Problems -Force

# What the module reads of a document, and the exit code each result comes with.
$script:ReportFields = @{
    ''     = @('computer', 'view', 'values', 'problems', 'writes', 'backupFile', 'changesMade', 'result', 'exitCode')
    values = @('key', 'name', 'type', 'text', 'representable', 'passes')
    writes = @('key', 'name', 'old', 'new', 'done')
}
$script:ResultExitCode = @{ 'compliant' = 0; 'not compliant' = 2; 'failed' = 1 }

# How a failed run is filed, by the start of the tool's reason; every other
# reason the tool gives is one of its usage errors.
$script:ToolFailures = @(
    @{ Start = 'could not read the settings'; Id = 'SorvaneSettingsUnreadable'; Category = 'ReadError' }
    @{ Start = 'another copy of Sorvane is running'; Id = 'SorvaneAlreadyRunning'; Category = 'ResourceBusy' }
    @{ Start = 'could not write HKEY_'; Id = 'SorvaneWriteFailed'; Category = 'WriteError' }
    @{ Start = 'could not '; Id = 'SorvaneRecordFailed'; Category = 'WriteError' }  # the backup or the log
    @{ Start = ''; Id = 'SorvaneUsageError'; Category = 'InvalidArgument' }
)

function ConvertFrom-SorvaneJson {
    # The document with every text as it is. ConvertFrom-Json in PowerShell 7
    # makes a text that looks like a date a DateTime (only 7.5 and later take
    # -DateKind): each string value gets a leading mark no date starts with,
    # taken off again after. Names are matched too, so the scan stays on the
    # string boundaries, and left alone.
    param([string]$Text)
    $marked = [regex]::Replace($Text, '"((?:[^"\\]|\\.)*")(\s*:)?', {
            param($match)
            if ($match.Groups[2].Success) { return $match.Value }
            '"~' + $match.Groups[1].Value
        })
    $document = $marked | ConvertFrom-Json
    Remove-SorvaneMark $document
    $document
}

function Remove-SorvaneMark($Node) {
    foreach ($property in @($Node.PSObject.Properties)) {
        $value = $property.Value
        if ($value -is [string]) {
            $property.Value = $value.Substring(1)
        } elseif ($value -is [array]) {
            for ($i = 0; $i -lt $value.Count; $i++) {
                if ($value[$i] -is [string]) { $value[$i] = $value[$i].Substring(1) }
                elseif ($value[$i] -is [System.Management.Automation.PSCustomObject]) { Remove-SorvaneMark $value[$i] }
            }
        } elseif ($value -is [System.Management.Automation.PSCustomObject]) {
            Remove-SorvaneMark $value
        }
    }
}

function Get-SorvaneMissingField($Document) {
    foreach ($name in $script:ReportFields['']) { if (-not $Document.PSObject.Properties[$name]) { $name } }
    foreach ($list in 'values', 'writes') {
        if (-not $Document.PSObject.Properties[$list]) { continue }
        foreach ($item in @($Document.$list)) {
            foreach ($name in $script:ReportFields[$list]) {
                if ($null -eq $item -or -not $item.PSObject.Properties[$name]) { "$list.$name" }
            }
        }
    }
    if ($Document.PSObject.Properties['result'] -and $Document.result -eq 'failed' -and
        -not $Document.PSObject.Properties['reason']) { 'reason' }
}

function Set-SorvaneFailure($Run, [string]$Message, [string]$Id, [string]$Category) {
    $Run.Failure, $Run.ErrorId, $Run.Category = $Message, $Id, $Category
}

function Read-SorvaneReport {
    # The run's document, or why there is none. A document is the report only
    # when it holds everything the module reads and its result agrees with its
    # exitCode and the process's.
    param($Run, $Output)
    $lines = @($Output.Lines | Where-Object { $_ -ne '' })
    $text = $lines -join "`n"
    $document = $null
    # Only a document is parsed: a failed parse would stay in the caller's
    # -ErrorVariable even when caught.
    if ($text.TrimStart().StartsWith('{')) {
        try { $document = ConvertFrom-SorvaneJson $text } catch { $document = $null }
    }
    $missing = @()
    if ($document) { $missing = @(Get-SorvaneMissingField $document | Select-Object -Unique) }
    if ($Output.StartError -eq 'no such program') {
        Set-SorvaneFailure $Run "could not start $($Output.Exe): no such program" SorvaneExeNotFound ObjectNotFound
    } elseif ($Output.StartError) {
        Set-SorvaneFailure $Run "could not start $($Output.Exe): $($Output.StartError)" SorvaneExeNotStarted OpenError
    } elseif ($lines.Count -eq 0) {
        Set-SorvaneFailure $Run "$($Output.Exe) printed nothing (exit code $($Output.ExitCode))" SorvaneReportInvalid InvalidResult
    } elseif (-not $document) {
        # An older exe, or a wrapper that could not start it: its last line says why.
        Set-SorvaneFailure $Run "$($Output.Exe) printed no report: $($lines[-1])" SorvaneReportInvalid InvalidResult
    } elseif ($missing.Count) {
        Set-SorvaneFailure $Run "$($Output.Exe) printed a report without $($missing -join ', '): $text" SorvaneReportInvalid InvalidResult
    } else {
        $expected = $script:ResultExitCode[[string]$document.result]
        if ($null -eq $expected -or $document.exitCode -ne $expected -or $Output.ExitCode -ne $expected) {
            Set-SorvaneFailure $Run ("$($Output.Exe) printed the result '$($document.result)' with the exit code " +
                "$($document.exitCode) and exited with $($Output.ExitCode): $text") SorvaneReportInvalid InvalidResult
        } else {
            $Run.Document = $document
            if ($document.result -eq 'failed') {
                $kind = @($script:ToolFailures | Where-Object {
                        $document.reason.StartsWith($_.Start, [StringComparison]::Ordinal) })[0]
                Set-SorvaneFailure $Run $document.reason $kind.Id $kind.Category
            }
        }
    }
}

function Write-SorvaneError($Cmdlet, [string]$Message, [string]$Id, [string]$Category, $Target) {
    $record = New-Object System.Management.Automation.ErrorRecord (
        (New-Object System.InvalidOperationException $Message), $Id,
        [System.Management.Automation.ErrorCategory]$Category, $Target)
    $Cmdlet.WriteError($record)
}

function Invoke-SorvaneTool {
    # One run of the exe on each target (here when $Remote is $null, else
    # Invoke-Command's ComputerName or Session and the rest): one Sorvane.Run
    # per target that answered, with the document, or the reason there is
    # none. A target that could not be reached is an error of $Cmdlet.
    param($Cmdlet, [string[]]$Arguments, [hashtable]$Remote, [string]$ExePath)
    if ($Remote) {
        $call = $Remote + @{ ScriptBlock = $script:RunTool; ArgumentList = @($ExePath, $Arguments, $null) }
        $unreached = @()
        # Invoke-Command's own errors would reach $Error but not the
        # caller's -ErrorVariable: each is told again as the command's own.
        $outputs = @(Invoke-Command @call -ErrorAction SilentlyContinue -ErrorVariable unreached)
        foreach ($failure in $unreached) {
            $computer = $failure.CategoryInfo.TargetName
            if ($failure.TargetObject -is [string]) { $computer = $failure.TargetObject }
            if ($failure.PSObject.Properties['OriginInfo'] -and $failure.OriginInfo) {
                $computer = $failure.OriginInfo.PSComputerName
            }
            Write-SorvaneError $Cmdlet "${computer}: $($failure.Exception.Message)" SorvaneComputerUnreachable `
                ResourceUnavailable $computer
        }
    } else {
        $outputs = @(& $script:RunTool $ExePath $Arguments $PSScriptRoot)
    }
    foreach ($output in $outputs) {
        $computer = [Environment]::MachineName
        if ($output.PSObject.Properties['PSComputerName'] -and $output.PSComputerName) {
            $computer = $output.PSComputerName
        }
        Write-Verbose ("${computer}: ran $($output.Exe) $($output.Passed -join ' ') ($($output.Passing) " +
            "argument passing): exit code $($output.ExitCode)")
        $run = [pscustomobject]@{
            PSTypeName   = 'Sorvane.Run'
            ComputerName = $computer
            Exe          = $output.Exe
            Arguments    = $Arguments
            ExitCode     = $output.ExitCode
            Document     = $null
            Failure      = $null
            ErrorId      = $null
            Category     = $null
        }
        Read-SorvaneReport $run $output
        $run
    }
}

function Confirm-SorvaneSuffix {
    # A suffix the exe read otherwise than it was asked (changed on its way
    # there) makes the run an error naming both, never a result.
    param($Suffix, [Parameter(ValueFromPipeline)]$Run)
    process {
        if ($null -ne $Suffix -and -not $Run.Failure) {
            foreach ($write in @($Run.Document.writes)) {
                if (@('LdapSuffix', 'DNSuffix') -notcontains $write.name -or $write.new -ceq $Suffix) { continue }
                Set-SorvaneFailure $Run ("$($Run.Exe) was asked for the suffix '$Suffix' and read '$($write.new)' " +
                    'from its command line') SorvaneArgumentChanged InvalidData
                break
            }
        }
        $Run
    }
}

function Select-SorvaneSuccess {
    # Passes on the runs that succeeded. A failed one becomes an error of the
    # calling command, whose message is the reason and whose target is the
    # run (computer, exe, exit code, document).
    param([Parameter(Mandatory)]$Cmdlet, [Parameter(ValueFromPipeline)]$Run)
    process {
        if (-not $Run.Failure) { return $Run }
        $message = $Run.Failure
        if ($Run.ComputerName -ne [Environment]::MachineName) { $message = "$($Run.ComputerName): $message" }
        Write-SorvaneError $Cmdlet $message $Run.ErrorId $Run.Category $Run
    }
}

function Add-SorvaneTarget {
    # Gathers the computers (or sessions) of each pipeline object; a blank
    # name (an empty line of a server list) is skipped, with a warning.
    param($Cmdlet, [System.Collections.ArrayList]$Targets, [string[]]$ComputerName, $Session)
    if ($Cmdlet.ParameterSetName -eq 'Session') {
        foreach ($item in $Session) { [void]$Targets.Add($item) }
    } elseif ($Cmdlet.ParameterSetName -eq 'Computer') {
        foreach ($name in $ComputerName) {
            if ([string]::IsNullOrWhiteSpace($name)) {
                $Cmdlet.WriteWarning('Skipped a blank computer name.')
            } else {
                [void]$Targets.Add($name.Trim())
            }
        }
    }
}

function Get-SorvaneRemote {
    # Invoke-Command's parameters for the targets; $null to run here.
    param($Cmdlet, $Targets, $Credential, [int]$ThrottleLimit)
    if ($Cmdlet.ParameterSetName -eq 'Local') { return $null }
    $remote = @{ ThrottleLimit = $ThrottleLimit }
    if ($Cmdlet.ParameterSetName -eq 'Session') { $remote.Session = @($Targets) } else { $remote.ComputerName = @($Targets) }
    if ($Credential) { $remote.Credential = $Credential }
    $remote
}

function Get-SorvaneView($Run) {
    # The view as the -View parameter names it: 32 or 64.
    $Run.Document.view -replace '-bit$', ''
}

function ConvertTo-SorvaneSetting {
    # The four values of a run as objects, tagged with their computer.
    param($Run)
    foreach ($value in @($Run.Document.values)) {
        [pscustomobject]@{
            PSTypeName    = 'Sorvane.LdapSetting'
            ComputerName  = $Run.ComputerName
            View          = Get-SorvaneView $Run
            Key           = $value.key
            Name          = $value.name
            Type          = $value.type
            Text          = $value.text
            Representable = $value.representable
            Passes        = $value.passes
        }
    }
}

function Get-ViewArgument {
    param([string]$View)
    if ($View) { "/reg:$View" }
}

function Get-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    Reads the four LDAP values and their checks (Sorvane.exe /check), writing nothing.
    .DESCRIPTION
    One object per value: its computer, view, key, name, type, text as stored, whether the
    code page can show it, and whether it passes its rule. A run that fails (keys that cannot
    be read, another copy running, no exe) is an error carrying the tool's reason, and a
    computer that cannot be reached is an error whose target is that computer; the other
    computers go on.
    .PARAMETER View
    The registry view to open the keys in: 32 or 64 (/reg:32, /reg:64). Left out, the tool's
    own default, the 32-bit view. Use 64 where the product installed is a 64-bit program.
    .PARAMETER ComputerName
    Runs the exe on these computers through Invoke-Command (WinRM). Takes names from the
    pipeline, or objects with a DNSHostName, ComputerName or CN property (Get-ADComputer);
    blank names are skipped with a warning. The exe must be there (see ExePath).
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    .PARAMETER Credential
    The account to connect to the computers with; left out, the current user.
    .PARAMETER ThrottleLimit
    How many computers or sessions are run at once (Invoke-Command's ThrottleLimit, 32 unless
    given).
    .PARAMETER ExePath
    The exe to run (on the remote computers, when they are named); left out, the path in the
    environment variable SORVANE_EXE, else the exe beside the module.
    .INPUTS
    System.String, or objects with a DNSHostName property: computer names.
    System.Management.Automation.Runspaces.PSSession: sessions.
    .OUTPUTS
    Sorvane.LdapSetting: ComputerName, View, Key, Name, Type, Text, Representable, Passes.
    .EXAMPLE
    Get-SorvaneLdapSetting -View 64 | Where-Object { -not $_.Passes }
    .EXAMPLE
    Get-Content servers.txt | Get-SorvaneLdapSetting -ExePath 'C:\Program Files\Sorvane\Sorvane.exe'
    .EXAMPLE
    Get-ADComputer -Filter 'Name -like "LDAP*"' | Get-SorvaneLdapSetting -View 64 -ThrottleLimit 64
    #>
    [CmdletBinding(DefaultParameterSetName = 'Local')]
    [OutputType('Sorvane.LdapSetting')]
    param(
        [ValidateSet('32', '64')]
        [string]$View,

        [Parameter(Mandatory, ParameterSetName = 'Computer', ValueFromPipeline, ValueFromPipelineByPropertyName)]
        [Alias('CN', 'DNSHostName')]
        [AllowEmptyString()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [System.Management.Automation.Runspaces.PSSession[]]$Session,

        [Parameter(ParameterSetName = 'Computer')]
        [System.Management.Automation.PSCredential]$Credential,

        [Parameter(ParameterSetName = 'Computer')]
        [Parameter(ParameterSetName = 'Session')]
        [ValidateRange(1, 1000)]
        [int]$ThrottleLimit = 32,

        [string]$ExePath
    )
    begin { $targets = New-Object System.Collections.ArrayList }
    process { Add-SorvaneTarget $PSCmdlet $targets $ComputerName $Session }
    end {
        if ($PSCmdlet.ParameterSetName -ne 'Local' -and $targets.Count -eq 0) { return }
        $remote = Get-SorvaneRemote $PSCmdlet $targets $Credential $ThrottleLimit
        $arguments = @('/check', '/json') + @(Get-ViewArgument $View)
        foreach ($run in Invoke-SorvaneTool $PSCmdlet $arguments $remote $ExePath | Select-SorvaneSuccess $PSCmdlet) {
            ConvertTo-SorvaneSetting $run
        }
    }
}

function Test-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    True when the four LDAP values meet both rules (Sorvane.exe /check), false when not.
    .DESCRIPTION
    Here, $true or $false. With -ComputerName or -Session, one object per computer instead:
    ComputerName, View, Compliant, Problems and the exe's ExitCode. A run that fails is an
    error carrying the tool's reason and gives no answer: a settings check that could not be
    made is neither true nor false. A computer that cannot be reached is an error whose
    target is that computer; the other computers go on.
    .PARAMETER View
    The registry view to open the keys in: 32 or 64 (/reg:32, /reg:64). Left out, the tool's
    own default, the 32-bit view. Use 64 where the product installed is a 64-bit program.
    .PARAMETER ComputerName
    Runs the exe on these computers through Invoke-Command (WinRM). Takes names from the
    pipeline, or objects with a DNSHostName, ComputerName or CN property (Get-ADComputer);
    blank names are skipped with a warning. The exe must be there (see ExePath).
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    .PARAMETER Credential
    The account to connect to the computers with; left out, the current user.
    .PARAMETER ThrottleLimit
    How many computers or sessions are run at once (Invoke-Command's ThrottleLimit, 32 unless
    given).
    .PARAMETER ExePath
    The exe to run (on the remote computers, when they are named); left out, the path in the
    environment variable SORVANE_EXE, else the exe beside the module.
    .INPUTS
    System.String, or objects with a DNSHostName property: computer names.
    System.Management.Automation.Runspaces.PSSession: sessions.
    .OUTPUTS
    System.Boolean, here.
    Sorvane.Compliance, with -ComputerName or -Session: ComputerName, View, Compliant, Problems,
    ExitCode.
    .EXAMPLE
    if (-not (Test-SorvaneLdapSetting -View 64)) { Repair-SorvaneLdapSetting -View 64 }
    .EXAMPLE
    Get-Content servers.txt | Test-SorvaneLdapSetting -View 64 | Where-Object { -not $_.Compliant }
    #>
    [CmdletBinding(DefaultParameterSetName = 'Local')]
    [OutputType([bool], ParameterSetName = 'Local')]
    [OutputType('Sorvane.Compliance', ParameterSetName = ('Computer', 'Session'))]
    param(
        [ValidateSet('32', '64')]
        [string]$View,

        [Parameter(Mandatory, ParameterSetName = 'Computer', ValueFromPipeline, ValueFromPipelineByPropertyName)]
        [Alias('CN', 'DNSHostName')]
        [AllowEmptyString()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [System.Management.Automation.Runspaces.PSSession[]]$Session,

        [Parameter(ParameterSetName = 'Computer')]
        [System.Management.Automation.PSCredential]$Credential,

        [Parameter(ParameterSetName = 'Computer')]
        [Parameter(ParameterSetName = 'Session')]
        [ValidateRange(1, 1000)]
        [int]$ThrottleLimit = 32,

        [string]$ExePath
    )
    begin { $targets = New-Object System.Collections.ArrayList }
    process { Add-SorvaneTarget $PSCmdlet $targets $ComputerName $Session }
    end {
        if ($PSCmdlet.ParameterSetName -ne 'Local' -and $targets.Count -eq 0) { return }
        $remote = Get-SorvaneRemote $PSCmdlet $targets $Credential $ThrottleLimit
        $arguments = @('/check', '/json') + @(Get-ViewArgument $View)
        foreach ($run in Invoke-SorvaneTool $PSCmdlet $arguments $remote $ExePath | Select-SorvaneSuccess $PSCmdlet) {
            if (-not $remote) {
                $run.Document.result -eq 'compliant'
                continue
            }
            [pscustomobject]@{
                PSTypeName   = 'Sorvane.Compliance'
                ComputerName = $run.ComputerName
                View         = Get-SorvaneView $run
                Compliant    = $run.Document.result -eq 'compliant'
                Problems     = @($run.Document.problems)
                ExitCode     = $run.ExitCode
            }
        }
    }
}

function ConvertTo-SorvaneRepair {
    param($Run)
    [pscustomobject]@{
        PSTypeName   = 'Sorvane.Repair'
        ComputerName = $Run.ComputerName
        View         = Get-SorvaneView $Run
        Result       = $Run.Document.result
        ChangesMade  = $Run.Document.changesMade
        Problems     = @($Run.Document.problems)
        Writes       = @($Run.Document.writes)
        BackupFile   = $Run.Document.backupFile
        ExitCode     = $Run.ExitCode
        Settings     = @(ConvertTo-SorvaneSetting $Run)
    }
}

function Repair-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    Corrects the four LDAP values (Sorvane.exe /repair), after learning what it would write.
    .DESCRIPTION
    First runs /repair /whatif on each computer to learn what would be written; with -WhatIf
    that is all it does, and with -Confirm it asks before each computer's writes. Then
    /repair writes only the values that differ and checks again. Rule One (Enable Login Auth
    and Enable CR Auth must be Yes) is always corrected; LdapSuffix and DNSuffix, when they
    differ, only with -Suffix, which is written into both. A suffix the exe read otherwise
    than given is an error, and nothing is written there.
    One object per computer: the result after the writes, the writes made, the backup
    written, what is still wrong, the exe's exit code and the values as read back. A repair
    that leaves the settings not compliant (suffixes that differ and no -Suffix) is a result,
    not an error. A run that fails is an error carrying the tool's reason (naming what it had
    written already); a computer that cannot be reached is an error whose target is that
    computer; the other computers go on.
    .PARAMETER View
    The registry view to open the keys in: 32 or 64 (/reg:32, /reg:64). Left out, the tool's
    own default, the 32-bit view. Use 64 where the product installed is a 64-bit program.
    .PARAMETER Suffix
    The value to write into LdapSuffix and DNSuffix when they differ: one word, no blanks.
    Quote it: dc=example,dc=com unquoted is two arguments to PowerShell.
    .PARAMETER BackupPath
    Before the first write, the four values are saved to this file (reg export format;
    restore with reg import). Where it exists, the backup goes beside it with the date and
    time in its name; the object's BackupFile names the file written. A backup that cannot be
    written stops every write.
    .PARAMETER LogPath
    Every write and the run's result are appended to this file (UTF-8).
    .PARAMETER ComputerName
    Runs the exe on these computers through Invoke-Command (WinRM). Takes names from the
    pipeline, or objects with a DNSHostName, ComputerName or CN property (Get-ADComputer);
    blank names are skipped with a warning. The exe must be there (see ExePath).
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    .PARAMETER Credential
    The account to connect to the computers with; left out, the current user.
    .PARAMETER ThrottleLimit
    How many computers or sessions are run at once (Invoke-Command's ThrottleLimit, 32 unless
    given).
    .PARAMETER ExePath
    The exe to run (on the remote computers, when they are named); left out, the path in the
    environment variable SORVANE_EXE, else the exe beside the module.
    .PARAMETER WhatIf
    Shows what would be written on each computer, and writes nothing.
    .PARAMETER Confirm
    Asks before writing on each computer, showing what would be written.
    .INPUTS
    System.String, or objects with a DNSHostName property: computer names.
    System.Management.Automation.Runspaces.PSSession: sessions.
    .OUTPUTS
    Sorvane.Repair: ComputerName, View, Result, ChangesMade, Problems, Writes, BackupFile,
    ExitCode, Settings.
    .EXAMPLE
    Repair-SorvaneLdapSetting -View 64 -Suffix 'dc=example,dc=com' -WhatIf
    .EXAMPLE
    Repair-SorvaneLdapSetting -View 64 -Suffix 'dc=example,dc=com' -BackupPath C:\Windows\Temp\ldap-before.reg
    .EXAMPLE
    Get-Content servers.txt | Repair-SorvaneLdapSetting -Suffix 'dc=example,dc=com' -ExePath 'C:\Program Files\Sorvane\Sorvane.exe'
    #>
    [CmdletBinding(SupportsShouldProcess, ConfirmImpact = 'Medium', DefaultParameterSetName = 'Local')]
    [OutputType('Sorvane.Repair')]
    param(
        [ValidateSet('32', '64')]
        [string]$View,

        [string]$Suffix,

        [string]$BackupPath,

        [string]$LogPath,

        [Parameter(Mandatory, ParameterSetName = 'Computer', ValueFromPipeline, ValueFromPipelineByPropertyName)]
        [Alias('CN', 'DNSHostName')]
        [AllowEmptyString()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [System.Management.Automation.Runspaces.PSSession[]]$Session,

        [Parameter(ParameterSetName = 'Computer')]
        [System.Management.Automation.PSCredential]$Credential,

        [Parameter(ParameterSetName = 'Computer')]
        [Parameter(ParameterSetName = 'Session')]
        [ValidateRange(1, 1000)]
        [int]$ThrottleLimit = 32,

        [string]$ExePath
    )
    begin { $targets = New-Object System.Collections.ArrayList }
    process { Add-SorvaneTarget $PSCmdlet $targets $ComputerName $Session }
    end {
        if ($PSCmdlet.ParameterSetName -ne 'Local' -and $targets.Count -eq 0) { return }
        $remote = Get-SorvaneRemote $PSCmdlet $targets $Credential $ThrottleLimit
        $common = @(Get-ViewArgument $View)
        $asked = $null
        if ($PSBoundParameters.ContainsKey('Suffix')) {
            $asked = $Suffix
            $common += "/suffix:$Suffix"
        }
        $plans = @(Invoke-SorvaneTool $PSCmdlet (@('/repair', '/whatif', '/json') + $common) $remote $ExePath |
                Confirm-SorvaneSuffix $asked | Select-SorvaneSuccess $PSCmdlet)
        $approved = @()
        foreach ($plan in $plans) {
            $writes = @($plan.Document.writes)
            if ($writes.Count -eq 0) {
                # Nothing to write: the plan is the answer, and nothing needs confirming.
                if (-not $WhatIfPreference) { ConvertTo-SorvaneRepair $plan }
                continue
            }
            $what = ($writes | ForEach-Object { "$($_.key)\$($_.name): '$($_.old)' -> '$($_.new)'" }) -join '; '
            if ($PSCmdlet.ShouldProcess("$($plan.ComputerName) ($what)", 'Write the LDAP settings')) {
                $approved += $plan.ComputerName
            }
        }
        if ($approved.Count -eq 0) { return }

        $arguments = @('/repair', '/json') + $common
        if ($BackupPath) { $arguments += "/backup:$BackupPath" }
        if ($LogPath) { $arguments += "/log:$LogPath" }
        if ($remote -and $remote.ContainsKey('Session')) {
            $remote.Session = @($remote.Session | Where-Object { $approved -contains $_.ComputerName })
        } elseif ($remote) {
            $remote.ComputerName = $approved
        }
        $runs = Invoke-SorvaneTool $PSCmdlet $arguments $remote $ExePath | Confirm-SorvaneSuffix $asked |
            Select-SorvaneSuccess $PSCmdlet
        foreach ($run in $runs) {
            Write-Verbose "$($run.ComputerName): $($run.Document.changesMade) changes made, $($run.Document.result)"
            ConvertTo-SorvaneRepair $run
        }
    }
}

# One reason the settings are not as the rules want them, as Azure Machine
# Configuration reports it (its guidance: the class named after the resource).
class SorvaneReason {
    [DscProperty()]
    [string]$Code

    [DscProperty()]
    [string]$Phrase
}

# The LDAP settings as a class-based DSC resource, the form that Ansible's
# win_dsc, Azure Machine Configuration and DSC 3's PowerShell adapter run.
# One instance per registry view. Test() is the tool's own verdict, so a
# Set() that reports success leaves Test() true; Suffix is what Set() writes
# into LdapSuffix and DNSuffix when they differ (the tool does not rewrite
# two suffixes that agree). A run that fails throws the tool's reason: DSC
# reports a thrown error as the resource's failure.
[DscResource()]
class SorvaneLdapSettings {
    [DscProperty(Key)]
    [ValidateSet('32', '64')]
    [string]$View

    [DscProperty()]
    [string]$Suffix

    [DscProperty(NotConfigurable)]
    [string]$EnableLoginAuth

    [DscProperty(NotConfigurable)]
    [string]$EnableCRAuth

    [DscProperty(NotConfigurable)]
    [string]$LdapSuffix

    [DscProperty(NotConfigurable)]
    [string]$DNSuffix

    [DscProperty(NotConfigurable)]
    [bool]$Compliant

    [DscProperty(NotConfigurable)]
    [string[]]$Problems

    [DscProperty(NotConfigurable)]
    [SorvaneReason[]]$Reasons

    [SorvaneLdapSettings] Get() {
        $run = @(Invoke-SorvaneTool $null @('/check', '/json', "/reg:$($this.View)") $null $null)[0]
        if ($run.Failure) { throw "Sorvane: $($run.Failure)" }
        $state = [SorvaneLdapSettings]::new()
        $state.View = $this.View
        $state.Suffix = $this.Suffix
        $state.Compliant = $run.Document.result -eq 'compliant'
        $state.Problems = @($run.Document.problems)
        $found = @()
        $state.Reasons = @(foreach ($value in @($run.Document.values)) {
                $found += "$($value.name) = '$($value.text)'"
                switch ($value.name) {
                    'Enable Login Auth' { $state.EnableLoginAuth = $value.text }
                    'Enable CR Auth' { $state.EnableCRAuth = $value.text }
                    'LdapSuffix' { $state.LdapSuffix = $value.text }
                    'DNSuffix' { $state.DNSuffix = $value.text }
                }
                if ($value.passes) { continue }
                $reason = [SorvaneReason]::new()
                $reason.Code = "SorvaneLdapSettings:SorvaneLdapSettings:$($value.name -replace ' ', '')"
                $told = @($run.Document.problems | Where-Object { $_.Contains($value.name) })
                $reason.Phrase = "$($value.name) is '$($value.text)' ($($value.type)): $($told -join '; ')"
                $reason
            })
        Write-Verbose "Sorvane, $($this.View)-bit view: found $($found -join ', '); $($run.Document.result)"
        return $state
    }

    [bool] Test() {
        return $this.Get().Compliant
    }

    [void] Set() {
        $options = @{ View = $this.View; Confirm = $false }
        if ($this.Suffix) { $options.Suffix = $this.Suffix }
        $failures = @()
        $result = @(Repair-SorvaneLdapSetting @options -ErrorAction SilentlyContinue -ErrorVariable failures)
        if ($failures.Count) { throw "Sorvane: $($failures[0].Exception.Message)" }
        $written = @($result[0].Writes | Where-Object { $_.done } | ForEach-Object { "$($_.name) = '$($_.new)'" })
        Write-Verbose "Sorvane, $($this.View)-bit view: wrote $($written.Count) values ($($written -join ', ')); $($result[0].Result)"
        if ($result[0].Result -ne 'compliant') {
            throw "Sorvane: the LDAP settings are still not compliant: $(@($result[0].Problems) -join '; ')"
        }
    }
}

Export-ModuleMember -Function Get-SorvaneLdapSetting, Test-SorvaneLdapSetting, Repair-SorvaneLdapSetting
