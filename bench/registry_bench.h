// The parts of bench_registry that live in files of their own, called from
// its main in registry_bench.cpp.
#pragma once

namespace bench {

// Full walks of a key with `count` values and `count` sub-keys, RegistryKey
// against the plain enumeration loops. Returns false when a walk went wrong.
bool RunWalks(int count);

}  // namespace bench
