// Pieces of the one JSON document that /json prints. Every text goes out in
// plain ASCII, anything else as \uXXXX (UTF-16 units, so a character beyond
// U+FFFF is its surrogate pair): PowerShell decodes captured output with the
// OEM code page, remoting with the ANSI one and Ansible as UTF-8, and ASCII
// reads the same to all of them.
#pragma once

#include <string>
#include <vector>

// `text` as a quoted JSON string.
std::string JsonString(const std::wstring& text);
std::string JsonBool(bool value);

// "name":json
std::string JsonMember(const char* name, const std::string& json);
// {members} and [items], comma-separated.
std::string JsonObject(const std::vector<std::string>& members);
std::string JsonArray(const std::vector<std::string>& items);
