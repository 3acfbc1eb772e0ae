// The /json document, in plain ASCII (others as \uXXXX): PowerShell decodes it
// as OEM, remoting as ANSI, Ansible as UTF-8, and ASCII reads alike to all.
#pragma once

#include <string>

#include "registry_view.h"
#include "run_record.h"

// `mode`: a JSON value, "check", "repair", "whatif" or null.
std::string JsonReport(const RunRecord& run, const char* mode, RegistryView view);
std::string JsonString(const std::wstring& text);
