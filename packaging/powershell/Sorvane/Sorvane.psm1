# The Sorvane module: the LDAP settings check and repair of Sorvane.exe as
# PowerShell commands and a class-based DSC resource.
#
# Every command runs the exe with /json and reads its one JSON document: the
# document is plain ASCII (every other character escaped), so it reads the
# same whatever code page PowerShell or remoting decodes the exe's output
# with, where the exe's text lines would arrive garbled. A failed run is
# classified by the document's reasonId, never by the text of its reason.
#
# The module must load in Windows PowerShell 5.1 as well as PowerShell 7:
# no ternaries, no null-coalescing, no pipeline chains (the tests parse it
# and refuse them).

Set-StrictMode -Version 2.0

@SORVANE_RUN@

# What a table shows unless asked for more.
Update-TypeData -TypeName Sorvane.LdapSetting -DefaultDisplayPropertySet ComputerName, Name, Text, Passes -Force
Update-TypeData -TypeName Sorvane.Compliance -DefaultDisplayPropertySet ComputerName, Compliant, Problems -Force
Update-TypeData -TypeName Sorvane.Repair -DefaultDisplayPropertySet ComputerName, Result, ChangesMade, Problems -Force

# The error id and category of each reasonId: the exe's own, then those of
# the failures found on this side of it. An id the module does not know (a
# newer exe's) is SorvaneToolFailed; the run's ReasonId still names it.
$script:ErrorKinds = @{
    usageError          = 'SorvaneUsageError', 'InvalidArgument'
    anotherCopyRunning  = 'SorvaneAlreadyRunning', 'ResourceBusy'
    keysUnreadable      = 'SorvaneSettingsUnreadable', 'ReadError'
    notWritable         = 'SorvaneWriteFailed', 'WriteError'
    backupNotWritten    = 'SorvaneRecordFailed', 'WriteError'
    logNotWritten       = 'SorvaneRecordFailed', 'WriteError'
    exeNotFound         = 'SorvaneExeNotFound', 'ObjectNotFound'
    exeNotStarted       = 'SorvaneExeNotStarted', 'OpenError'
    reportInvalid       = 'SorvaneReportInvalid', 'InvalidResult'
    argumentChanged     = 'SorvaneArgumentChanged', 'InvalidData'
    computerUnreachable = 'SorvaneComputerUnreachable', 'ResourceUnavailable'
    stillNotCompliant   = 'SorvaneStillNotCompliant', 'InvalidResult'
}

function New-SorvaneError {
    # An error record filed by the reasonId; $Cause, when given, is the
    # exception that told of it.
    param([string]$Message, [string]$ReasonId, $Target, [Exception]$Cause)
    $kind = 'SorvaneToolFailed', 'NotSpecified'
    if ($ReasonId -and $script:ErrorKinds.ContainsKey($ReasonId)) { $kind = $script:ErrorKinds[$ReasonId] }
    New-Object System.Management.Automation.ErrorRecord (
        (New-Object System.InvalidOperationException ($Message, $Cause)), $kind[0],
        [System.Management.Automation.ErrorCategory]$kind[1], $Target)
}

function Invoke-SorvaneTool {
    # One run of the exe on each target (here when $Remote is $null, else
    # Invoke-Command's ComputerName or Session and the rest): one Sorvane.Run
    # per target that answered, with the document, or the reason there is
    # none. A target that could not be reached is an error of $Cmdlet.
    param($Cmdlet, [string[]]$Arguments, [hashtable]$Remote, [string]$ExePath)
    if ($Remote) {
        $call = $Remote + @{ ScriptBlock = $script:SorvaneRunTool; ArgumentList = @($ExePath, $Arguments, $null, $null) }
        $unreached = @()
        # Invoke-Command's own errors would reach $Error but not the
        # caller's -ErrorVariable: each is told again as the command's own.
        $outputs = @(Invoke-Command @call -ErrorAction SilentlyContinue -ErrorVariable unreached)
        # The target is the computer's name, or the session that failed.
        foreach ($failure in $unreached) {
            $computer = $failure.CategoryInfo.TargetName
            $target = $failure.TargetObject
            if ($target -is [System.Management.Automation.Runspaces.PSSession]) {
                $computer = $target.ComputerName
            } else {
                if ($target -is [string]) { $computer = $target }
                if ($failure.PSObject.Properties['OriginInfo'] -and $failure.OriginInfo) {
                    $computer = $failure.OriginInfo.PSComputerName
                }
                $target = $computer
            }
            $Cmdlet.WriteError((New-SorvaneError "${computer}: $($failure.Exception.Message)" computerUnreachable `
                        $target $failure.Exception))
        }
    } else {
        $outputs = @(& $script:SorvaneRunTool $ExePath $Arguments $PSScriptRoot)
    }
    foreach ($output in $outputs) {
        $run = ConvertTo-SorvaneRun $output $Arguments
        Write-Verbose ("$($run.ComputerName): ran $($output.Exe) $($output.Passed -join ' ') ($($output.Passing) " +
            "argument passing): exit code $($output.ExitCode)")
        $run
    }
}

function Select-SorvaneSuccess {
    # Passes on the runs that succeeded. A failed one becomes an error of the
    # calling command, filed by its reasonId, whose message is the reason and
    # whose target is the run (computer, exe, exit code, document, ReasonId).
    param([Parameter(Mandatory)]$Cmdlet, [Parameter(ValueFromPipeline)]$Run)
    process {
        if (-not $Run.Failure) { return $Run }
        $message = $Run.Failure
        if ($Run.ComputerName -ne [Environment]::MachineName) { $message = "$($Run.ComputerName): $message" }
        $Cmdlet.WriteError((New-SorvaneError $message $Run.ReasonId $Run))
    }
}

function Add-SorvaneTarget {
    # Gathers the computers (or sessions) of each pipeline object; a blank
    # name (an empty line of a server list) is skipped, with a warning.
    param($Cmdlet, [System.Collections.ArrayList]$Targets, [string[]]$ComputerName, $Session)
    if ($Cmdlet.ParameterSetName -eq 'Session') {
        foreach ($item in $Session) { if ($null -ne $item) { [void]$Targets.Add($item) } }
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

function Test-SorvaneTarget {
    # Whether the call names somewhere to run: here, when it was given no
    # computer, no session and no pipeline; else the targets gathered. A
    # pipeline that brought nothing (an empty server list) binds no target
    # and would look like a call for here: it runs nothing anywhere, as an
    # empty -ComputerName or -Session list does, with a warning.
    param($Cmdlet, $Targets, [bool]$ExpectingInput)
    if ($Targets.Count) { return $true }
    if ($Cmdlet.ParameterSetName -eq 'Local' -and -not $ExpectingInput) { return $true }
    $Cmdlet.WriteWarning('No computer was given: nothing was run.')
    $false
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

function Select-SorvaneRemote {
    # Invoke-Command's parameters narrowed to the targets of these runs: a
    # session by its runspace (several may reach one computer), a computer by
    # its name. $null (here) stays $null.
    param([hashtable]$Remote, $Runs)
    if (-not $Remote) { return $null }
    $narrowed = $Remote.Clone()
    if ($Remote.ContainsKey('Session')) {
        $ids = @($Runs | ForEach-Object { [string]$_.RunspaceId })
        $narrowed.Session = @($Remote.Session | Where-Object { $ids -contains [string]$_.InstanceId })
    } else {
        $narrowed.ComputerName = @($Runs | ForEach-Object { $_.ComputerName })
    }
    $narrowed
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
    blank names are skipped with a warning. The exe must be there (see ExePath). An empty
    list, or a pipeline that brings no computer (an empty server list), runs nothing anywhere,
    not here either, and warns that no computer was given.
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    An empty list runs nothing, and warns that no computer was given.
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
        [AllowEmptyCollection()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [AllowEmptyCollection()]
        [AllowNull()]
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
        if (-not (Test-SorvaneTarget $PSCmdlet $targets $MyInvocation.ExpectingInput)) { return }
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
    blank names are skipped with a warning. The exe must be there (see ExePath). An empty
    list, or a pipeline that brings no computer (an empty server list), runs nothing anywhere,
    not here either, and warns that no computer was given.
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    An empty list runs nothing, and warns that no computer was given.
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
    ExitCode, and Settings (the four values, as Get-SorvaneLdapSetting gives them).
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
        [AllowEmptyCollection()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [AllowEmptyCollection()]
        [AllowNull()]
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
        if (-not (Test-SorvaneTarget $PSCmdlet $targets $MyInvocation.ExpectingInput)) { return }
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
                Settings     = @(ConvertTo-SorvaneSetting $run)
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
    The value to write into LdapSuffix and DNSuffix when they differ, as given: a blank inside
    it is written, one at its start or end is refused. Quote it: dc=example,dc=com unquoted is
    two arguments to PowerShell.
    .PARAMETER BackupPath
    Before the first write, the four values are saved to this file (reg export format;
    restore with reg import). Where it exists, the backup goes beside it with the date and
    time in its name; the object's BackupFile names the file written. A backup that cannot be
    written stops every write.
    .PARAMETER LogPath
    Every write and the run's result line are appended to this file (UTF-8), on every computer
    run, also where nothing needed writing: there the exe checks again (/check) and logs its
    CHECK RESULT line, since it wrote nothing. -WhatIf, and a computer whose writes -Confirm
    was refused, log nothing.
    .PARAMETER ComputerName
    Runs the exe on these computers through Invoke-Command (WinRM). Takes names from the
    pipeline, or objects with a DNSHostName, ComputerName or CN property (Get-ADComputer);
    blank names are skipped with a warning. The exe must be there (see ExePath). An empty
    list, or a pipeline that brings no computer (an empty server list), runs nothing anywhere,
    not here either, and warns that no computer was given.
    .PARAMETER Session
    Runs the exe through these existing PSSessions (New-PSSession) instead of new connections.
    An empty list runs nothing, and warns that no computer was given.
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
        [AllowEmptyCollection()]
        [AllowNull()]
        [string[]]$ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [AllowEmptyCollection()]
        [AllowNull()]
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
        if (-not (Test-SorvaneTarget $PSCmdlet $targets $MyInvocation.ExpectingInput)) { return }
        $remote = Get-SorvaneRemote $PSCmdlet $targets $Credential $ThrottleLimit
        $common = @(Get-ViewArgument $View)
        $asked = $null
        if ($PSBoundParameters.ContainsKey('Suffix')) {
            $asked = $Suffix
            $common += "/suffix:$Suffix"
        }
        $plans = @(Invoke-SorvaneTool $PSCmdlet (@('/repair', '/whatif', '/json') + $common) $remote $ExePath |
                Confirm-SorvaneSuffix $asked | Select-SorvaneSuccess $PSCmdlet)
        $settled = @()
        $approved = @()
        foreach ($plan in $plans) {
            $writes = @($plan.Document.writes)
            if ($writes.Count -eq 0) {
                # Nothing to write: the plan is the answer, and nothing needs confirming.
                if ($WhatIfPreference) { continue }
                if ($LogPath) { $settled += $plan } else { ConvertTo-SorvaneRepair $plan }
                continue
            }
            $what = ($writes | ForEach-Object { "$($_.key)\$($_.name): '$($_.old)' -> '$($_.new)'" }) -join '; '
            if ($PSCmdlet.ShouldProcess("$($plan.ComputerName) ($what)", 'Write the LDAP settings')) {
                $approved += $plan
            }
        }
        # A run asked to log is logged where nothing needed writing too: a
        # check logs its result line and cannot write, so no value changes
        # that nobody confirmed.
        $runs = @()
        if ($settled.Count) {
            $arguments = @('/check', '/json') + @(Get-ViewArgument $View) + "/log:$LogPath"
            $runs += @(Invoke-SorvaneTool $PSCmdlet $arguments (Select-SorvaneRemote $remote $settled) $ExePath)
        }
        if ($approved.Count) {
            $arguments = @('/repair', '/json') + $common
            if ($BackupPath) { $arguments += "/backup:$BackupPath" }
            if ($LogPath) { $arguments += "/log:$LogPath" }
            $runs += @(Invoke-SorvaneTool $PSCmdlet $arguments (Select-SorvaneRemote $remote $approved) $ExePath |
                    Confirm-SorvaneSuffix $asked)
        }
        foreach ($run in $runs | Select-SorvaneSuccess $PSCmdlet) {
            Write-Verbose "$($run.ComputerName): $(Get-SorvaneResultLine $run)"
            ConvertTo-SorvaneRepair $run
        }
    }
}

function ConvertTo-SorvaneJsonText([string]$Text) {
    # A JSON string in plain ASCII, every other character escaped: Windows
    # PowerShell 5.1 hands a program its standard input as ASCII.
    $builder = New-Object System.Text.StringBuilder '"'
    foreach ($character in $Text.ToCharArray()) {
        $code = [int]$character
        if ($code -eq 0x22 -or $code -eq 0x5C) { [void]$builder.Append('\').Append($character) }
        elseif ($code -lt 0x20 -or $code -gt 0x7E) { [void]$builder.Append(('\u{0:x4}' -f $code)) }
        else { [void]$builder.Append($character) }
    }
    [void]$builder.Append('"')
    $builder.ToString()
}

# The DSC 3 names of the four values, in the exe's order, with the names the
# registry and the class give them.
$script:DscValues = @(
    @{ Dsc = 'enableLoginAuth'; Name = 'Enable Login Auth'; Property = 'EnableLoginAuth' }
    @{ Dsc = 'enableCRAuth'; Name = 'Enable CR Auth'; Property = 'EnableCRAuth' }
    @{ Dsc = 'ldapSuffix'; Name = 'LdapSuffix'; Property = 'LdapSuffix' }
    @{ Dsc = 'dnSuffix'; Name = 'DNSuffix'; Property = 'DNSuffix' }
)

function Invoke-SorvaneDsc {
    # The exe's own DSC 3 mode (/dsc:test or /dsc:set, the desired state on
    # standard input), so the class resource judges and writes exactly as the
    # native one: the state printed and the properties not in the desired
    # state (for a set, those it changed). A run that fails throws an error
    # record filed by the reasonId of the exe's error line.
    param([string]$Operation, [string]$View, [string]$Suffix)
    $desired = '{"view":' + (ConvertTo-SorvaneJsonText $View)
    if ($Suffix) { $desired += ',"suffix":' + (ConvertTo-SorvaneJsonText $Suffix) }
    $desired += '}'
    $output = & $script:SorvaneRunTool $null @("/dsc:$Operation") $PSScriptRoot $desired
    Write-Verbose "Sorvane: ran $($output.Exe) /dsc:$Operation with $desired`: exit code $($output.ExitCode)"
    $exe = $output.Exe
    $answer = $null
    $failure, $reasonId = "$exe printed no state and no error line (exit code $($output.ExitCode))", 'reportInvalid'
    if ($output.StartError -eq 'no such program') {
        $failure, $reasonId = "could not start ${exe}: no such program", 'exeNotFound'
    } elseif ($output.StartError) {
        $failure, $reasonId = "could not start ${exe}: $($output.StartError)", 'exeNotStarted'
    } elseif ($output.ExitCode -eq 0) {
        $lines = @($output.Lines | Where-Object { $_ -ne '' })
        try {
            $answer = [pscustomobject]@{ State = ConvertFrom-SorvaneJson $lines[0]; Differs = @($lines[1] | ConvertFrom-Json) }
        } catch {
            $answer = $null
        }
        $fields = @('suffix', 'problems') + @($script:DscValues | ForEach-Object { $_.Dsc })
        if ($Operation -eq 'test') { $fields += '_inDesiredState' }
        if (-not $answer -or @($fields | Where-Object { -not $answer.State.PSObject.Properties[$_] }).Count) {
            $answer = $null
            $failure = "$exe printed no state with $($fields -join ', '): $($lines -join ' ')"
        }
    } else {
        foreach ($line in $output.ErrorLines) {
            $logged = $null
            try { $logged = ConvertFrom-SorvaneJson $line } catch { }
            if ($logged -and $logged.PSObject.Properties['error'] -and $logged.PSObject.Properties['reasonId']) {
                $failure, $reasonId = $logged.error, $logged.reasonId
            }
        }
    }
    if (-not $answer) { throw (New-SorvaneError "Sorvane: $failure" $reasonId $output) }
    $answer
}

# One reason the settings are not as desired, as Azure Machine Configuration
# reports it (its guidance: the class named after the resource).
class SorvaneReason {
    [DscProperty()]
    [string]$Code

    [DscProperty()]
    [string]$Phrase
}

# The LDAP settings as a class-based DSC resource, the form that Ansible's
# win_dsc, Azure Machine Configuration and DSC 3's PowerShell adapter run.
# One instance per registry view. Its Get, Test and Set are the exe's own DSC
# 3 mode, so Suffix means what it means to the native resource: the suffix
# both LdapSuffix and DNSuffix must hold. Test() is false while either holds
# another text, Set() writes it into each that does not, and Get() reports
# the suffix the two hold (empty where they differ). Without Suffix, Rule Two
# asks only that the two agree, and Set() cannot mend it. A run that fails
# throws an error filed by the exe's reasonId: DSC reports a thrown error as
# the resource's failure.
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

    # The state as found, Compliant when it is the desired one; a reason for
    # each value not as desired.
    [SorvaneLdapSettings] Get() {
        $answer = Invoke-SorvaneDsc 'test' $this.View $this.Suffix
        $state = [SorvaneLdapSettings]::new()
        $state.View = $this.View
        $state.Suffix = $answer.State.suffix
        $state.Compliant = $answer.State._inDesiredState
        $state.Problems = @($answer.State.problems)
        $found = @()
        $state.Reasons = @(foreach ($value in $script:DscValues) {
                $read = $answer.State.($value.Dsc)
                $state.($value.Property) = $read.text
                $found += "$($value.Name) = '$($read.text)'"
                if ($answer.Differs -notcontains $value.Dsc) { continue }
                $reason = [SorvaneReason]::new()
                $reason.Code = "SorvaneLdapSettings:SorvaneLdapSettings:$($value.Property)"
                $told = @($answer.State.problems | Where-Object { $_.Contains($value.Name) })
                $reason.Phrase = "$($value.Name) is '$($read.text)' ($($read.type)): $($told -join '; ')"
                $reason
            })
        Write-Verbose ("Sorvane, $($this.View)-bit view: found $($found -join ', '); " +
            "in the desired state: $($state.Compliant)")
        return $state
    }

    [bool] Test() {
        return $this.Get().Compliant
    }

    [void] Set() {
        $answer = Invoke-SorvaneDsc 'set' $this.View $this.Suffix
        $written = @($script:DscValues | Where-Object { $answer.Differs -contains $_.Dsc } |
                ForEach-Object { "$($_.Name) = '$($answer.State.($_.Dsc).text)'" })
        Write-Verbose "Sorvane, $($this.View)-bit view: wrote $($written.Count) values ($($written -join ', '))"
        $left = @($answer.State.problems)
        if ($left.Count) {
            throw (New-SorvaneError "Sorvane: the LDAP settings are still not compliant: $($left -join '; ')" `
                    stillNotCompliant $answer.State)
        }
    }
}

Export-ModuleMember -Function Get-SorvaneLdapSetting, Test-SorvaneLdapSetting, Repair-SorvaneLdapSetting
