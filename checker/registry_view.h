// A registry view of 64-bit Windows: the 32-bit one, where the product's
// components keep these keys and the tool looks without /reg:, or the 64-bit
// one. 32-bit Windows has a single view, which either name reaches.
#pragma once

#include <windows.h>

class RegistryView {
  public:
    constexpr explicit RegistryView(bool is64 = false) : is64(is64) {}

    bool Is64() const { return is64; }
    // The 32-bit build is in the 32-bit view by asking for none; the 64-bit
    // build must name it.
    REGSAM Flag() const {
        return is64 ? KEY_WOW64_64KEY : sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
    }
    const char* Bits() const { return is64 ? "64" : "32"; }  // as /reg: names it
    RegistryView Other() const { return RegistryView(!is64); }
    bool operator==(RegistryView other) const { return is64 == other.is64; }

  private:
    bool is64;
};
