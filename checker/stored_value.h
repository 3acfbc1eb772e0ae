// A value as the registry stores it, and its texts: the "A" read's, and the
// stored data's as the log, the backup and the documents give it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "text_encoding.h"

// Its ANSI text, for the rules and the screen, and the value as stored: the "A"
// read converts with best fit ("Ｙｅｓ" reads as "Yes"), so the text alone may mislead.
struct SettingValue {
    AnsiText text;
    DWORD type = REG_NONE;
    std::vector<BYTE> stored;
    bool representable = true;  // `text` is the stored value, converted without loss
};

std::string TypeName(DWORD type);

bool IsStringType(DWORD type);

// NULs included; an odd last byte is no unit.
std::wstring WideFromStored(const std::vector<BYTE>& data);

// Up to the first NUL, as an "A" read cuts it.
std::wstring StoredString(const std::vector<BYTE>& data);

unsigned long DwordOf(const std::vector<BYTE>& data);

std::string HexText(DWORD type, const std::vector<BYTE>& data);  // as a .reg file writes it

// As the log shows a stored value: a four-byte REG_DWORD in decimal.
Utf8Text Utf8FromStored(DWORD type, const std::vector<BYTE>& data);

// As the documents give it: the stored text, never the ANSI stand-in, unless
// the value could not be read as stored.
std::wstring StoredText(const SettingValue& value);
