// What a value typed by the operator (or given on the command line) must be
// before it may be written: one word, short enough for a later read to take
// back, and text the registry stores exactly as typed.
#pragma once

#include <string>

extern const char* const kValueNotOneWord;
extern const char* const kValueTooLong;
extern const char* const kValueNotStorable;

// Longest value that a later read can take back: the read buffer holds 512
// bytes, and the registry adds a terminating NUL.
const size_t kMaxValueLength = 511;

// The refusal for `value` (one of the texts above), or null when it may be written.
const char* ValueRefusal(const std::string& value);

// True when `text` holds no control character and converts from the ANSI code
// page to Unicode and back unchanged: what the registry stores is what was typed.
bool IsStorableText(const std::string& text);
