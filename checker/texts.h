// The texts that more than one file prints; every other text of the tool is
// written where it is printed.
#pragma once

inline constexpr char kExpectedValue[] = "Yes";  // what Rule One requires
inline constexpr char kErrorPrefix[] = "ERROR - ";
inline constexpr char kWriting[] = "WRITING ";
inline constexpr char kResultFailed[] = "RESULT: failed - ";
