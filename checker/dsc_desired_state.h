// The desired state a DSC 3 engine hands the tool: one JSON object, read and
// checked here, so nothing touches the registry for input that is refused.
#pragma once

#include <string>

#include "registry_view.h"
#include "text_encoding.h"

// The instance's properties, as the manifest's schema names them: the two the
// engine sets, the two file names a set takes, and those only ever read.
inline constexpr char kDscView[] = "view";
inline constexpr char kDscSuffix[] = "suffix";
inline constexpr char kDscBackupPath[] = "backupPath";
inline constexpr char kDscLogPath[] = "logPath";
inline constexpr char kDscProblems[] = "problems";
inline constexpr char kDscInDesiredState[] = "_inDesiredState";
inline constexpr const char* kDscValueNames[] = {"enableLoginAuth", "enableCRAuth", "ldapSuffix",
                                                 "dnSuffix"};  // in catalogue order

struct DesiredState {
    RegistryView view;         // the 32-bit one unless named
    bool suffixGiven = false;  // null, as a get prints suffixes that differ, is none
    std::wstring suffix;       // as both values must hold it
    AnsiText suffixText;       // as Rule Two would write it; empty where it never would
    Utf8Text suffixRefusal;    // why it never would; a set refuses it where it must write
    std::wstring backupPath;   // empty: none
    std::wstring logPath;      // empty: none
};

// `utf8` empty: every default (a get the engine has no properties for). The
// read-only properties are taken and ignored, and any suffix is taken, so a
// get's output can be handed back. False, with the reason in `refusal`
// (UTF-8), for anything but one object of known properties, each once, of the
// right type.
bool ParseDesiredState(const Utf8Text& text, DesiredState* desired, Utf8Text* refusal);
