// The /json document: what a run read, found, wrote and concluded, as one
// JSON object a fleet tool can parse instead of reading lines. It is plain
// ASCII, every other character as \uXXXX (UTF-16 units, so
// a character beyond U+FFFF is its surrogate pair): PowerShell decodes a native
// program's output with the OEM code page, remoting with the ANSI one, and
// Ansible as UTF-8, and ASCII reads the same to all of them.
#pragma once

#include <string>

struct RunRecord;

// The document for `run`, ending with `exitCode` (the process's own).
std::string JsonReport(const RunRecord& run, int exitCode);

// `text` as a quoted JSON string.
std::string JsonString(const std::wstring& text);
