// A value typed (or given as /suffix:) is written only as one word, short enough
// for a later read, and text the registry stores exactly as typed.
#pragma once

#include <string>

// Why a value is refused, and what the operator is asked to do instead.
struct Refusal {
    const char* reason;
    const char* request;
};
inline constexpr Refusal kValueNotOneWord = {"must be one word without blanks", "enter it again"};
inline constexpr Refusal kValueNotStorable = {"holds characters that cannot be stored",
                                              "enter another value"};

// "ERROR - value <reason>, please <request>", as the dialogue prints it.
std::string RefusalLine(const Refusal& refusal);

// The refusal for `value`, or null when it may be written.
const Refusal* ValueRefusal(const std::string& value);
