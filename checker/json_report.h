// The /json document, in plain ASCII (others as \uXXXX): PowerShell decodes it
// as OEM, remoting as ANSI, Ansible as UTF-8, and ASCII reads alike to all.
#pragma once

#include <string>

struct RunRecord;

std::string JsonReport(const RunRecord& run, int exitCode);

std::string JsonString(const std::wstring& text);
