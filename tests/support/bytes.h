// Registry data written as a string literal: "Y\0e\0s\0" with its length.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline std::vector<BYTE> Bytes(const std::string& bytes) {
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}
