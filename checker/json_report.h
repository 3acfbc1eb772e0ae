// The /json document: what a run read, found, wrote and concluded, as one JSON
// object. It is plain ASCII, every other character as \uXXXX (UTF-16 units):
// PowerShell decodes a native program's output with the OEM code page,
// remoting with the ANSI one, Ansible as UTF-8, and ASCII reads alike to all.
#pragma once

#include <string>

struct RunRecord;

std::string JsonReport(const RunRecord& run, int exitCode);

std::string JsonString(const std::wstring& text);
