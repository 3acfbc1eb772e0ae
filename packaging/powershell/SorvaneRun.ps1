# How the exe is run and its JSON document read: one source for the Sorvane
# module and every fleet script. The build writes this text into each of them
# (packaging/CMakeLists.txt), since a fleet script is uploaded alone and can
# import nothing. It must run in Windows PowerShell 5.1 as well as PowerShell 7.

# Runs the exe where it is, here or (through Invoke-Command) on a remote
# computer, so it needs nothing of the module there: the exe is named by
# $Exe, else by SORVANE_EXE, else it is the one beside the module (the module
# folder $ModuleBase, or the newest Sorvane module installed there). $InputText,
# when given, is its standard input, and its standard error is kept too.
# Returns the arguments as handed over, the output lines and the exit code;
# the document is read by the caller.
$script:SorvaneRunTool = {
    param([string]$Exe, [string[]]$Arguments, [string]$ModuleBase, [string]$InputText)
    if (-not $Exe) { $Exe = $env:SORVANE_EXE }
    if (-not $Exe) {
        if (-not $ModuleBase) {
            $installed = Get-Module -ListAvailable -Name Sorvane | Sort-Object Version -Descending |
                Select-Object -First 1
            if ($installed) { $ModuleBase = $installed.ModuleBase }
        }
        # Sorvane64.exe is for 64-bit Windows without WoW64 (Server Core
        # with the feature removed), where Sorvane.exe cannot start;
        # everywhere else the 32-bit exe is the one to run.
        $name = 'Sorvane.exe'
        if ($env:windir -and [Environment]::Is64BitOperatingSystem -and
            -not (Test-Path -LiteralPath (Join-Path $env:windir 'SysWOW64\kernel32.dll'))) {
            $name = 'Sorvane64.exe'
        }
        if ($ModuleBase) { $Exe = Join-Path $ModuleBase $name } else { $Exe = $name }
    }
    $result = [pscustomobject]@{ Exe = $Exe; Passing = 'Standard'; Passed = @($Arguments); Lines = @()
                                 ErrorLines = @(); ExitCode = $null; StartError = $null }
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
        if ($InputText) {
            # Windows PowerShell 5.1 makes each line on standard error an
            # error record, which stops the run where errors stop.
            $ErrorActionPreference = 'Continue'
            $both = @($InputText | & $program.Source @passed 2>&1)
            $result.ExitCode = $LASTEXITCODE
            $result.Lines = @($both | Where-Object { $_ -isnot [System.Management.Automation.ErrorRecord] } |
                    ForEach-Object { [string]$_ })
            $result.ErrorLines = @($both | Where-Object { $_ -is [System.Management.Automation.ErrorRecord] } |
                    ForEach-Object { [string]$_.Exception.Message })
        } else {
            # @() keeps a one-line output a list of one line, not a string.
            $result.Lines = @(& $program.Source @passed 2>$null | ForEach-Object { [string]$_ })
            $result.ExitCode = $LASTEXITCODE
        }
    } catch {
        $result.StartError = $_.Exception.Message -replace '\s+', ' '
    }
    $result
}

# What is read of a document, and the exit code each result comes with.
$script:SorvaneReportFields = @{
    ''     = @('computer', 'mode', 'view', 'values', 'problems', 'writes', 'backupFile', 'changesMade', 'result',
               'reasonId', 'exitCode')
    values = @('key', 'name', 'type', 'text', 'representable', 'passes')
    writes = @('key', 'name', 'old', 'new', 'done')
}
$script:SorvaneResultExitCode = @{ 'compliant' = 0; 'not compliant' = 2; 'failed' = 1 }

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
    foreach ($name in $script:SorvaneReportFields['']) { if (-not $Document.PSObject.Properties[$name]) { $name } }
    foreach ($list in 'values', 'writes') {
        if (-not $Document.PSObject.Properties[$list]) { continue }
        foreach ($item in @($Document.$list)) {
            foreach ($name in $script:SorvaneReportFields[$list]) {
                if ($null -eq $item -or -not $item.PSObject.Properties[$name]) { "$list.$name" }
            }
        }
    }
    if ($Document.PSObject.Properties['result'] -and $Document.result -eq 'failed') {
        if (-not $Document.PSObject.Properties['reason']) { 'reason' }
        if ($Document.PSObject.Properties['reasonId'] -and -not $Document.reasonId) { 'reasonId' }
    }
}

function Set-SorvaneFailure($Run, [string]$Message, [string]$ReasonId) {
    $Run.Failure, $Run.ReasonId = $Message, $ReasonId
}

function ConvertTo-SorvaneRun {
    # One run of the exe as a Sorvane.Run: its computer (and session), the
    # document, or the failure and its reasonId: the exe's own, or one of
    # exeNotFound, exeNotStarted and reportInvalid when there is no document
    # to believe. A document is the report only when it holds everything read
    # of it and its result agrees with its exitCode and the process's.
    param($Output, [string[]]$Arguments)
    $run = [pscustomobject]@{
        PSTypeName   = 'Sorvane.Run'
        ComputerName = [Environment]::MachineName
        RunspaceId   = $null
        Exe          = $Output.Exe
        Arguments    = $Arguments
        ExitCode     = $Output.ExitCode
        Document     = $null
        Failure      = $null
        ReasonId     = $null
    }
    if ($Output.PSObject.Properties['PSComputerName'] -and $Output.PSComputerName) {
        $run.ComputerName = $Output.PSComputerName
    }
    if ($Output.PSObject.Properties['RunspaceId']) { $run.RunspaceId = $Output.RunspaceId }
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
    $exe = $Output.Exe
    if ($Output.StartError -eq 'no such program') {
        Set-SorvaneFailure $run "could not start ${exe}: no such program" exeNotFound
    } elseif ($Output.StartError) {
        Set-SorvaneFailure $run "could not start ${exe}: $($Output.StartError)" exeNotStarted
    } elseif ($lines.Count -eq 0) {
        Set-SorvaneFailure $run "$exe printed nothing (exit code $($Output.ExitCode))" reportInvalid
    } elseif (-not $document) {
        # An older exe, or a wrapper that could not start it: its last line says why.
        Set-SorvaneFailure $run "$exe printed no report: $($lines[-1])" reportInvalid
    } elseif ($missing.Count) {
        Set-SorvaneFailure $run "$exe printed a report without $($missing -join ', '): $text" reportInvalid
    } else {
        $expected = $script:SorvaneResultExitCode[[string]$document.result]
        if ($null -eq $expected -or $document.exitCode -ne $expected -or $Output.ExitCode -ne $expected) {
            Set-SorvaneFailure $run ("$exe printed the result '$($document.result)' with the exit code " +
                "$($document.exitCode) and exited with $($Output.ExitCode): $text") reportInvalid
        } else {
            $run.Document = $document
            if ($document.result -eq 'failed') { Set-SorvaneFailure $run $document.reason $document.reasonId }
        }
    }
    $run
}

function Confirm-SorvaneSuffix {
    # A suffix the exe read otherwise than it was asked (changed on its way
    # there) makes the run a failure naming both (argumentChanged), never a result.
    param($Suffix, [Parameter(ValueFromPipeline)]$Run)
    process {
        if ($null -ne $Suffix -and -not $Run.Failure) {
            foreach ($write in @($Run.Document.writes)) {
                if (@('LdapSuffix', 'DNSuffix') -notcontains $write.name -or $write.new -ceq $Suffix) { continue }
                Set-SorvaneFailure $Run ("$($Run.Exe) was asked for the suffix '$Suffix' and read '$($write.new)' " +
                    'from its command line') argumentChanged
                break
            }
        }
        $Run
    }
}

function Get-SorvaneResultLine($Run) {
    # The run's RESULT line as the exe prints it, from its document; a failed
    # run's line ends with its reasonId, which stays the same whatever the
    # text of the reason.
    if ($Run.Failure) { return "RESULT: failed - $($Run.Failure) (reasonId: $($Run.ReasonId))" }
    $document = $Run.Document
    $line = "RESULT: $($document.result)"
    if ($document.mode -eq 'repair' -and ($document.result -eq 'compliant' -or $document.changesMade -gt 0)) {
        $line += ", $($document.changesMade) changes made"
    }
    if ($document.result -ne 'compliant') { $line += " - $(@($document.problems) -join '; ')" }
    $line
}
