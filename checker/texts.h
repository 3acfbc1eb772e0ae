// The texts of the runs' dialogue, checks, notices and RESULT lines. The
// information screen is kept with the run that shows it (interactive_run.cpp), the
// usage text with the command line (command_line.cpp), and the frame around a
// refusal with the value rules (value_rules.cpp). Lines are built by plain
// concatenation of these pieces with key paths, value names and values, with
// no spaces but those inside the pieces.
#pragma once

// The information question and screen.
inline constexpr char kInformationQuestion[] =
    "Do you want some information about this program? Press (Y)es/(N)o";
inline constexpr char kNoInput[] = "no input, nothing was checked";

// The Rule Two dialogue.
inline constexpr char kValuePrompt[] = "Please enter the value you want written to these keys";
inline constexpr char kValueCue[] = ">>";
inline constexpr char kYouEntered[] = "You entered ";
inline constexpr char kConfirmQuestion[] =
    "Do you want to write this value into the two reg keys above? Press key "
    "((Y)es/(N)o/(Q)uit/(H)elp)";
inline constexpr const char* kHelpBlock[] = {
    "--------------------------------------------------------------",
    "HELP START",
    "This string value will be written into two locations (..LdapSuffix and .. DNSuffix)",
    "These registry key are of type (string) REG_SZ",
    "As an example - when these keys are viewed with regedit, you will see",
    "something that looks like dc=example,dc=com",
    "HELP END",
    "-------------------------------------------------------------",
};

// Why a typed value (or the value of /suffix:) is refused, and what the
// operator is asked to do instead.
struct Refusal {
    const char* reason;
    const char* request;
};
inline constexpr Refusal kValueNotOneWord = {"must be one word without blanks", "enter it again"};
// 511: kMaxValueLength, the longest value a later read takes back.
inline constexpr Refusal kValueTooLong = {"is longer than 511 characters", "enter a shorter value"};
inline constexpr Refusal kValueNotStorable = {"holds characters that cannot be stored",
                                              "enter another value"};

// The rules, their corrections and the summary.
inline constexpr char kExpectedValue[] = "Yes";
inline constexpr char kCheckOk[] = "Check OK - ";
inline constexpr char kCorrectionNeeded[] = "CORRECTION NEEDED - ";
inline constexpr char kShouldBe[] = "SHOULD BE - ";
inline constexpr char kIsCurrently[] = " is currently = ";
inline constexpr char kNoMatch[] = "two registry key/values below do not match";
inline constexpr char kMustMatch[] = "These two values MUST match!";
inline constexpr char kWritingCorrectValue[] = "WRITING CORRECT VALUE into registry";
inline constexpr char kWriting[] = "WRITING ";
inline constexpr char kToRegistry[] = " to registry";
inline constexpr char kChangesMade[] = "Program needed to make ";
inline constexpr char kChangesToValues[] = " changes to registry values";
inline constexpr char kFinished[] = "Program has finished";
inline constexpr char kNotRepresentable[] = " [not representable in this code page]";

// Reading and writing the settings, and the notices.
inline constexpr char kErrorPrefix[] = "ERROR - ";
inline constexpr char kCouldNotOpen[] = " ERROR - could not open ";
inline constexpr char kProblemReadingServer[] = "ERROR - problem reading ";
inline constexpr char kProblemReadingClient[] = "ERROR - problem reading  ";
inline constexpr char kProblemWriting[] = "ERROR - problem writing ";
inline constexpr char kElevationHint[] =
    "Run Sorvane from an elevated command prompt (Run as administrator)";
inline constexpr char kKeysIn64BitView[] =
    "The keys are in the 64-bit registry view: run it again with /reg:64";
inline constexpr char kKeysIn32BitView[] =
    "The keys are in the 32-bit registry view: run it again with /reg:32";
inline constexpr char kOpenProgress[] = "Open--RegKey:-- ";
inline constexpr char kOpenForWriteProgress[] = "Open for Write --RegKey:-- ";
inline constexpr char kServerReadProgress[] = "Read--LDAP Key/Value  = ";
inline constexpr char kClientReadProgress[] = "Read LDAP Key/Value  = ";
inline constexpr char kReadNotice[] =
    "This program cannot read one or more of the four LDAP registry key/values it requires";
inline constexpr char kWriteNotice[] =
    "This program cannot write to one of the four LDAP registry key/values it requires";
inline constexpr char kRecordNotice[] =
    "Record information (i.e. screen capture) and contact your next level of support";
inline constexpr char kQuitNotice[] = "Press Q to Quit";
inline constexpr char kAnotherCopyRunning[] =
    "ERROR - another copy of Sorvane is running, let it finish and run Sorvane again";

// Unattended runs and the RESULT line, also the audit log's.
inline constexpr char kWouldWrite[] = "WHATIF - would write ";
inline constexpr char kResultCompliant[] = "RESULT: compliant";
inline constexpr char kResultNotCompliant[] = "RESULT: not compliant - ";
inline constexpr char kResultNotCompliantAfter[] = "RESULT: not compliant, ";
inline constexpr char kWhatIsStillWrong[] = " - ";
inline constexpr char kKeysInOther64Note[] = "; the keys are in the 64-bit registry view (/reg:64)";
inline constexpr char kKeysInOther32Note[] = "; the keys are in the 32-bit registry view (/reg:32)";
inline constexpr char kLogNotWritten[] = "could not write the log ";
inline constexpr char kSameFile[] = "/backup and /log name the same file.";
inline constexpr char kResultFailed[] = "RESULT: failed - ";
inline constexpr char kChangesCounted[] = " changes made";
inline constexpr char kRuleTwoProblem[] = "LdapSuffix and DNSuffix differ";
inline constexpr char kNoSuffixGiven[] = " (give /suffix:VALUE to repair it)";
inline constexpr char kReadFailed[] = "could not read the settings";
inline constexpr char kReadBackFailed[] = "could not read the settings back after writing them";
inline constexpr char kNothingChanged[] = ", nothing was changed";
inline constexpr char kAnotherCopyReason[] = "another copy of Sorvane is running";
inline constexpr char kIsNot[] = " is not ";
inline constexpr char kBackupSaved[] = "BACKUP - the values before the writes are saved in ";
inline constexpr char kBackupNotWritten[] = "could not write the backup ";
inline constexpr char kCouldNotWrite[] = "could not write ";
inline constexpr char kAlreadyWritten[] = "; already written: ";
inline constexpr char kSuffixRefused[] = "the /suffix: value ";
inline constexpr char kLogNotOpened[] = "could not open the log ";
inline constexpr char kForAppending[] = " for appending";
inline constexpr char kNothingChecked[] = ", nothing was checked";
inline constexpr char kShortened[] = "...";
// An audit log line for one write: key = value : "old" -> "new".
inline constexpr char kLogWrite[] = "WRITE ";
// The line for a write the registry refused after its WRITE line was logged.
inline constexpr char kLogRefused[] = "REFUSED ";
