r"""What the tool prints, as it prints it, for every end-to-end test and the
soak: the keys and values it works on, its questions, prompts, notices and
error lines, and the RESULT lines of its unattended modes. A text that changes
in the tool changes here once (and in the transcripts, which show whole runs).

Lines are str without their line end; a name ending in a `%s` or `%d` takes
the part the tool fills in. screen() turns lines into the bytes the console
receives (CRLF; Latin-1, which agrees with code page 1252 on every character
these texts hold)."""

# The keys as the tool names them. The probe and Wine's reg.exe take the same
# full root names, so one constant serves for seeding, inspecting and output.
SERVER = r"HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPSRV"
CLIENT = r"HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPClient"
# Above both: deleting it removes every trace of a test's keys.
BRIMSEK = r"HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek"

LOGIN_AUTH = "Enable Login Auth"
CR_AUTH = "Enable CR Auth"
LDAP_SUFFIX = "LdapSuffix"
DN_SUFFIX = "DNSuffix"
# The four values in the order the tool reads them, with their keys.
VALUES = ((SERVER, LOGIN_AUTH), (SERVER, CR_AUTH), (SERVER, LDAP_SUFFIX), (CLIENT, DN_SUFFIX))

# The dialogue.
INFO_QUESTION = "Do you want some information about this program? Press (Y)es/(N)o"
VALUE_PROMPT = "Please enter the value you want written to these keys"
PROMPT = ">>"  # the tool reads on the same line
ENTERED = "You entered %s"
CONFIRM_QUESTION = ("Do you want to write this value into the two reg keys above? Press key "
                    "((Y)es/(N)o/(Q)uit/(H)elp)")
HELP_BLOCK = tuple(("-" * 62 + """
HELP START
This string value will be written into two locations (..LdapSuffix and .. DNSuffix)
These registry key are of type (string) REG_SZ
As an example - when these keys are viewed with regedit, you will see
something that looks like dc=example,dc=com
HELP END
""" + "-" * 61).split("\n"))
# The refusals of an entered value (and, after "RESULT: failed - the /suffix:
# value", of a /suffix: one).
NOT_ONE_WORD = "ERROR - value must be one word without blanks, please enter it again"
TOO_LONG = "ERROR - value is longer than 511 characters, please enter a shorter value"
NOT_STORABLE = "ERROR - value holds characters that cannot be stored, please enter another value"

# The checks and the writes.
OPEN_PROGRESS = "Open--RegKey:-- "  # verbose only, before the key's path
CHECK_OK = "Check OK - %s = %s"  # value name, value
SUFFIXES_OK = "Check OK - LdapSuffix = DNSuffix = %s"
CORRECTION_NEEDED = "CORRECTION NEEDED - "
SHOULD_BE_YES = "SHOULD BE - Yes"
SUFFIXES_DIFFER = CORRECTION_NEEDED + "two registry key/values below do not match"
CURRENTLY = "%s = %s is currently = %s"  # key, value name, value
MUST_MATCH = "These two values MUST match!"
# After a value whose stored Unicode text the ANSI code page cannot show.
NOT_REPRESENTABLE = " [not representable in this code page]"
WRITING = "WRITING "  # every write line starts so
WRITING_SUFFIX = WRITING + "%s to registry"
WHATIF = "WHATIF - would write %s = %s = %s"  # key, value name, value
WHATIF_NO_LOG = "WHATIF - /whatif writes nothing, not even to the log "  # and the file
CHANGES_MADE = "Program needed to make %d changes to registry values"
FINISHED = "Program has finished"

# What ends a run early.
NO_INPUT = "ERROR - no input, nothing was checked"
COULD_NOT_OPEN = " ERROR - could not open %s"
# When the key is missing in the view used and there in the other one.
KEYS_IN_VIEW = "The keys are in the %s-bit registry view: run it again with /reg:%s"
KEYS_IN_VIEW_NOTE = "; the keys are in the %s-bit registry view (/reg:%s)"
RECORD_AND_CALL = "Record information (i.e. screen capture) and contact your next level of support"
QUIT_NOTICE = "Press Q to Quit"
READ_NOTICE = ("This program cannot read one or more of the four LDAP registry key/values it "
               "requires", RECORD_AND_CALL, QUIT_NOTICE)
WRITE_NOTICE = ("This program cannot write to one of the four LDAP registry key/values it "
                "requires", RECORD_AND_CALL, QUIT_NOTICE)
# Only for a token that is not elevated, which Wine never gives: the checker
# tests cover it, with a double.
ELEVATION_HINT = "Run Sorvane from an elevated command prompt (Run as administrator)"
ANOTHER_COPY = "ERROR - another copy of Sorvane is running, let it finish and run Sorvane again"
BACKUP_SAVED = "BACKUP - the values before the writes are saved in %s"  # file
BACKUP_UPDATED = "BACKUP - updated with the values the writes replace, in %s"  # file
BACKUP_FAILED = "could not write the backup %s, nothing was changed"  # also after "ERROR - "

# The unattended modes' last line, and the reasons it gives.
COMPLIANT = "RESULT: compliant"
COMPLIANT_AFTER = COMPLIANT + ", %d changes made"
NOT_COMPLIANT = "RESULT: not compliant - "
FAILED = "RESULT: failed - "
NOT_YES = "%s is not Yes"  # value name
SUFFIXES_APART = "LdapSuffix and DNSuffix differ"
GIVE_SUFFIX = " (give /suffix:VALUE to repair it)"
ANOTHER_COPY_REASON = "another copy of Sorvane is running"
READ_FAILED = "could not read the settings"
WRITE_FAILED = "could not write %s = %s"  # key, value name
ALREADY_WRITTEN = "; already written: "


def screen(*lines):
    """The bytes the console receives for these lines, each ended as the tool
    ends it. A line of "" is an empty line."""
    return "".join(line + "\r\n" for line in lines).encode("latin-1")


# A run's last words, after whatever came before.
FINISHED_END = screen("", FINISHED, "")

# The DSC mode: its own problem, and the warning a set leaves on standard error.
NOT_THE_SUFFIX_GIVEN = "LdapSuffix and DNSuffix do not hold the suffix given"
STILL_NOT_DESIRED = "still not in the desired state: %s"
BACKUP_SAVED_DSC = "the values before the writes are saved in %s"  # file
