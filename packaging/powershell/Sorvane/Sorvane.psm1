# The Sorvane module: the LDAP settings check and repair of Sorvane.exe as
# PowerShell commands and a class-based DSC resource.
#
# Every command runs the exe with /json and reads its one JSON document: the
# document is plain ASCII (every other character escaped), so it reads the
# same whatever code page PowerShell or remoting decodes the exe's output
# with, where the exe's text lines would arrive garbled.
#
# The module must load in Windows PowerShell 5.1 as well as PowerShell 7:
# no ternaries, no null-coalescing, no pipeline chains.

Set-StrictMode -Version 2.0

# Runs the exe where it is, here or (through Invoke-Command) on a remote
# computer, so it needs nothing of this module there: the exe is named by
# $Exe, else by SORVANE_EXE, else it is the one beside the module (the module
# folder $ModuleBase, or the newest Sorvane module installed there). Returns
# the output lines and exit code; the document is read by the caller.
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
    $result = [pscustomobject]@{ Exe = $Exe; Lines = @(); ExitCode = $null; StartError = $null }
    # Looked up first, quietly: a failed start caught here would still land
    # in the caller's -ErrorVariable.
    $program = Get-Command -Name $Exe -CommandType Application -ErrorAction Ignore | Select-Object -First 1
    if (-not $program) {
        $result.StartError = 'no such program'
        return $result
    }
    try {
        # @() keeps a one-line output a list of one line, not a string.
        $result.Lines = @(& $program.Source @Arguments 2>$null | ForEach-Object { [string]$_ })
        $result.ExitCode = $LASTEXITCODE
    } catch {
        $result.StartError = $_.Exception.Message
    }
    $result
}

# ConvertFrom-Json in PowerShell 7 turns a text that looks like a date into
# a DateTime unless told not to (7.5 and later can be told); a stored value
# must come back as the text it is.
$script:JsonOptions = @{}
if ((Get-Command ConvertFrom-Json).Parameters.ContainsKey('DateKind')) {
    $script:JsonOptions.DateKind = 'String'
}

# What a table of settings shows unless asked for more.
Update-TypeData -TypeName Sorvane.LdapSetting -DefaultDisplayPropertySet ComputerName, Name, Text, Passes -Force
Update-TypeData -TypeName Sorvane.Repair -DefaultDisplayPropertySet ComputerName, Result, ChangesMade, Problems -Force

function Invoke-SorvaneTool {
    # One run of the exe on each computer (here when none is named): one
    # Sorvane.Run per computer that answered, with the document when the
    # exe printed one, else the reason it did not. Computers that cannot be
    # reached are Invoke-Command's own errors.
    param(
        [string[]]$Arguments,
        [string[]]$ComputerName,
        [string]$ExePath,
        [System.Management.Automation.PSCredential]$Credential
    )
    if ($ComputerName) {
        $remote = @{ ComputerName = $ComputerName; ScriptBlock = $script:RunTool
                     ArgumentList = @($ExePath, $Arguments, $null) }
        if ($Credential) { $remote.Credential = $Credential }
        $outputs = @(Invoke-Command @remote)
    } else {
        $outputs = @(& $script:RunTool $ExePath $Arguments $PSScriptRoot)
    }
    foreach ($output in $outputs) {
        $computer = [Environment]::MachineName
        if ($output.PSObject.Properties['PSComputerName'] -and $output.PSComputerName) {
            $computer = $output.PSComputerName
        }
        $run = [pscustomobject]@{
            PSTypeName   = 'Sorvane.Run'
            ComputerName = $computer
            Exe          = $output.Exe
            ExitCode     = $output.ExitCode
            Document     = $null
            Failure      = $null
        }
        $lines = @($output.Lines | Where-Object { $_ -ne '' })
        if ($output.StartError) {
            $run.Failure = "could not start $($output.Exe): $($output.StartError)"
        } elseif ($lines.Count -eq 0) {
            $run.Failure = "$($output.Exe) printed nothing (exit code $($output.ExitCode))"
        } else {
            $text = $lines -join "`n"
            $document = $null
            # Only a document is parsed: a failed parse would stay in the
            # caller's -ErrorVariable even when caught here.
            if ($text.TrimStart().StartsWith('{')) {
                $jsonOptions = $script:JsonOptions
                $document = $text | ConvertFrom-Json @jsonOptions -ErrorAction SilentlyContinue
            }
            if ($document -and $document.PSObject.Properties['result']) {
                $run.Document = $document
                if ($document.result -eq 'failed') {
                    $run.Failure = 'failed'
                    if ($document.PSObject.Properties['reason']) { $run.Failure = $document.reason }
                }
            } else {
                # An exe that printed text where a document belongs: an
                # older one, or a wrapper that could not start it. Its last
                # line says why.
                $run.Failure = "$($output.Exe) printed no report: $($lines[-1])"
            }
        }
        $run
    }
}

function Select-SorvaneSuccess {
    # Passes on the runs that succeeded. A failed one becomes an error of the
    # calling command, whose message is the tool's reason and whose target is
    # the run (computer, exe, exit code, document).
    param([Parameter(Mandatory)]$Cmdlet, [Parameter(ValueFromPipeline)]$Run)
    process {
        if (-not $Run.Failure) { return $Run }
        $message = $Run.Failure
        if ($Run.ComputerName -ne [Environment]::MachineName) { $message = "$($Run.ComputerName): $message" }
        $record = New-Object System.Management.Automation.ErrorRecord (
            (New-Object System.InvalidOperationException $message), 'SorvaneRunFailed',
            [System.Management.Automation.ErrorCategory]::InvalidResult, $Run)
        $Cmdlet.WriteError($record)
    }
}

function ConvertTo-SorvaneSetting {
    # The four values of a run as objects, tagged with their computer.
    param($Run)
    foreach ($value in @($Run.Document.values)) {
        [pscustomobject]@{
            PSTypeName    = 'Sorvane.LdapSetting'
            ComputerName  = $Run.ComputerName
            View          = $Run.Document.view
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

function Invoke-SorvaneCheck {
    # The /check runs that succeeded, for Get- and Test-.
    param($Cmdlet, [string]$View, [string[]]$ComputerName, [string]$ExePath, $Credential)
    $arguments = @('/check', '/json') + @(Get-ViewArgument $View)
    Invoke-SorvaneTool $arguments $ComputerName $ExePath $Credential | Select-SorvaneSuccess $Cmdlet
}

function Get-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    Reads the four LDAP values and their checks (Sorvane.exe /check), writing nothing.
    .DESCRIPTION
    One object per value: its key, name, type, text as stored, whether the code page can
    show it, and whether it passes its rule. A run that fails (keys that cannot be read,
    another copy running) is an error carrying the tool's reason.
    .PARAMETER View
    The registry view to open the keys in: 32 or 64 (/reg:32, /reg:64). Left out, the
    tool's own default, the 32-bit view.
    .PARAMETER ComputerName
    Runs the exe on these computers through Invoke-Command; each object carries its
    computer's name. The exe must be there (see ExePath).
    .PARAMETER ExePath
    The exe to run (on the remote computers, when they are named); else SORVANE_EXE,
    else the exe beside the module.
    .EXAMPLE
    Get-SorvaneLdapSetting -View 64 | Where-Object { -not $_.Passes }
    #>
    [CmdletBinding()]
    [OutputType('Sorvane.LdapSetting')]
    param(
        [ValidateSet('32', '64')][string]$View,
        [string[]]$ComputerName,
        [string]$ExePath,
        [System.Management.Automation.PSCredential]$Credential
    )
    foreach ($run in Invoke-SorvaneCheck $PSCmdlet $View $ComputerName $ExePath $Credential) {
        ConvertTo-SorvaneSetting $run
    }
}

function Test-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    True when the four LDAP values meet both rules (Sorvane.exe /check), false when not.
    .DESCRIPTION
    A run that fails is an error carrying the tool's reason, and gives no answer: a
    settings check that could not be made is neither true nor false. With -ComputerName,
    one object per computer (ComputerName, Compliant, Problems) instead of a bare answer.
    .EXAMPLE
    if (-not (Test-SorvaneLdapSetting -View 64)) { Repair-SorvaneLdapSetting -View 64 }
    #>
    [CmdletBinding()]
    [OutputType([bool])]
    param(
        [ValidateSet('32', '64')][string]$View,
        [string[]]$ComputerName,
        [string]$ExePath,
        [System.Management.Automation.PSCredential]$Credential
    )
    foreach ($run in Invoke-SorvaneCheck $PSCmdlet $View $ComputerName $ExePath $Credential) {
        if ($ComputerName) {
            [pscustomobject]@{
                PSTypeName   = 'Sorvane.Compliance'
                ComputerName = $run.ComputerName
                Compliant    = $run.Document.result -eq 'compliant'
                Problems     = @($run.Document.problems)
            }
        } else {
            $run.Document.result -eq 'compliant'
        }
    }
}

function ConvertTo-SorvaneRepair {
    param($Run)
    [pscustomobject]@{
        PSTypeName   = 'Sorvane.Repair'
        ComputerName = $Run.ComputerName
        View         = $Run.Document.view
        Result       = $Run.Document.result
        ChangesMade  = $Run.Document.changesMade
        Problems     = @($Run.Document.problems)
        Writes       = @($Run.Document.writes)
        Settings     = @(ConvertTo-SorvaneSetting $Run)
    }
}

function Repair-SorvaneLdapSetting {
    <#
    .SYNOPSIS
    Corrects the four LDAP values (Sorvane.exe /repair), after showing what it would write.
    .DESCRIPTION
    First runs /repair /whatif to learn what would be written; with -WhatIf that is all
    it does, and -Confirm (the default: the impact is High) asks before each computer's
    writes. Then /repair writes only the values that differ and checks again. Rule One
    (Enable Login Auth and Enable CR Auth must be Yes) is always corrected; LdapSuffix and
    DNSuffix, when they differ, only with -Suffix, which is written into both.
    Outputs one object per computer: the result after the writes, the writes made, what is
    still wrong and the values as read back. A run that fails is an error carrying the
    tool's reason (and naming what it had written already).
    .PARAMETER Suffix
    The value to write into LdapSuffix and DNSuffix when they differ.
    .PARAMETER BackupPath
    Before the first write, the four values are saved to this file (reg export format;
    restore with reg import). A backup that cannot be written stops every write.
    .PARAMETER LogPath
    Every write and the run's result are appended to this file (UTF-8).
    .EXAMPLE
    Repair-SorvaneLdapSetting -View 64 -Suffix 'dc=example,dc=com' -WhatIf
    .EXAMPLE
    Repair-SorvaneLdapSetting -ComputerName srv1,srv2 -ExePath C:\Tools\Sorvane.exe -Confirm:$false
    #>
    [CmdletBinding(SupportsShouldProcess, ConfirmImpact = 'High')]
    [OutputType('Sorvane.Repair')]
    param(
        [ValidateSet('32', '64')][string]$View,
        [string]$Suffix,
        [string]$BackupPath,
        [string]$LogPath,
        [string[]]$ComputerName,
        [string]$ExePath,
        [System.Management.Automation.PSCredential]$Credential
    )
    $common = @(Get-ViewArgument $View)
    if ($PSBoundParameters.ContainsKey('Suffix')) { $common += "/suffix:$Suffix" }
    $plans = @(Invoke-SorvaneTool (@('/repair', '/whatif', '/json') + $common) $ComputerName $ExePath $Credential |
            Select-SorvaneSuccess $PSCmdlet)
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
    $targets = $null
    if ($ComputerName) { $targets = $approved }
    foreach ($run in Invoke-SorvaneTool $arguments $targets $ExePath $Credential | Select-SorvaneSuccess $PSCmdlet) {
        ConvertTo-SorvaneRepair $run
    }
}

# The LDAP settings as a class-based DSC resource, the form that Ansible's
# win_dsc, Azure Machine Configuration and DSC 3's PowerShell adapter run.
# One instance per registry view. Test() is the tool's own verdict, so a
# Set() that reports success leaves Test() true; Suffix is what Set() writes
# into LdapSuffix and DNSuffix when they differ (the tool does not rewrite
# two suffixes that agree).
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

    [SorvaneLdapSettings] Get() {
        $run = $this.RunTool(@('/check', '/json'))
        $state = [SorvaneLdapSettings]::new()
        $state.View = $this.View
        $state.Suffix = $this.Suffix
        $state.Compliant = $run.Document.result -eq 'compliant'
        $state.Problems = @($run.Document.problems)
        foreach ($value in @($run.Document.values)) {
            switch ($value.name) {
                'Enable Login Auth' { $state.EnableLoginAuth = $value.text }
                'Enable CR Auth' { $state.EnableCRAuth = $value.text }
                'LdapSuffix' { $state.LdapSuffix = $value.text }
                'DNSuffix' { $state.DNSuffix = $value.text }
            }
        }
        return $state
    }

    [bool] Test() {
        return $this.Get().Compliant
    }

    [void] Set() {
        $arguments = @('/repair', '/json')
        if ($this.Suffix) { $arguments += "/suffix:$($this.Suffix)" }
        $run = $this.RunTool($arguments)
        if ($run.Document.result -ne 'compliant') {
            throw "Sorvane: the LDAP settings are still not compliant: $(@($run.Document.problems) -join '; ')"
        }
    }

    # A run that failed throws the tool's reason: DSC reports a thrown error
    # as the resource's failure.
    hidden [object] RunTool([string[]]$arguments) {
        $run = @(Invoke-SorvaneTool ($arguments + "/reg:$($this.View)"))[0]
        if ($run.Failure) { throw "Sorvane: $($run.Failure)" }
        return $run
    }
}

Export-ModuleMember -Function Get-SorvaneLdapSetting, Test-SorvaneLdapSetting, Repair-SorvaneLdapSetting
