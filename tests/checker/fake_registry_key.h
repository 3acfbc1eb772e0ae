// A scripted stand-in for the registry under RegistryKey, linked into the
// checker tests in place of the real class: keys and values held in memory,
// opens and writes that fail on request, and a record of every write with the
// byte count the checker handed over.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeWrite {
    std::string path;
    std::string name;
    std::string bytes;  // exactly the bytes handed over
};

struct FakeRegistry {
    // Key path -> value name -> stored bytes (returned as they are, with no
    // terminator added, and their count reported).
    std::map<std::string, std::map<std::string, std::string>> keys;
    std::set<std::string> failingOpens;       // key paths
    LONG openFailure = ERROR_FILE_NOT_FOUND;  // the code a refused open reports
    int opensBeforeFailure = -1;              // when set, every open after this many fails
    std::set<std::string> failingWrites;      // "path|name"
    std::vector<FakeWrite> writes;
    std::vector<std::string> opens;  // every successful open, in order
    std::vector<REGSAM> accesses;    // the access each of them asked for
    int openNow = 0;
    int openMost = 0;

    void Reset() { *this = FakeRegistry(); }
};

extern FakeRegistry fakeRegistry;
