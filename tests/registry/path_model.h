// Generated key paths for Open and Create, and a small model of which paths
// the object refuses itself: written from the path rules, not from the class,
// so the two can disagree. A refused path gives false and ERROR_INVALID_PARAMETER
// with no registry call (the object's root stays none); any other path goes to
// the registry, whose own answer, asked here with the raw call, must come back.
#pragma once

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "last_error.h"
#include "registry/registry_key.h"

namespace path_model {

struct Root {
    const char* name;
    HKEY key;
};

const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// Shift-JIS lead bytes; the model's own table, not the platform's.
inline bool IsShiftJisLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

struct Verdict {
    bool refused;
    HKEY root;         // when not refused
    std::string body;  // the sub-key path handed to the registry
};

// The refusal rules: 256 bytes or more; no backslash (a double-byte
// character is one character, so its trail byte is never one); a root name
// that is not exactly one of the five.
inline Verdict Judge(const std::string& path, bool shiftJis) {
    Verdict verdict = {true, nullptr, ""};
    if (path.size() >= 256) return verdict;
    size_t separator = std::string::npos;
    for (size_t at = 0; at < path.size();) {
        unsigned char byte = static_cast<unsigned char>(path[at]);
        if (shiftJis && IsShiftJisLead(byte) && at + 1 < path.size()) {
            at += 2;
            continue;
        }
        if (byte == '\\') {
            separator = at;
            break;
        }
        ++at;
    }
    if (separator == std::string::npos) return verdict;
    std::string rootName = path.substr(0, separator);
    for (const Root& root : kRoots) {
        if (rootName == root.name) {
            verdict = {false, root.key, path.substr(separator + 1)};
        }
    }
    return verdict;
}

// Makes paths from pieces chosen to sit on the rules' edges. `bases` gives,
// for each entry of kRoots, a scratch key under which anything may be
// created, so Create leaves nothing behind outside them.
class Generator {
  public:
    Generator(unsigned seed, bool shiftJis, std::vector<std::string> bases)
        : random(seed), shiftJis(shiftJis), bases(std::move(bases)) {}

    // The pieces alone can name a key beside the bases (a root name, then a
    // separator the first component brings, or padding that lengthens the
    // base's own name); such a path is drawn again, or Create would leave keys
    // below the roots run after run.
    std::string Next() {
        for (;;) {
            std::string path = Draw();
            if (StaysInsideBases(path)) return path;
        }
    }

  private:
    std::string Draw() {
        std::string path = RootPart() + Separator();
        size_t rootIndex = RootIndexOf(path);
        if (rootIndex < 5 && Chance(85)) path += bases[rootIndex];
        int components = Pick(0, 4);
        for (int i = 0; i < components; ++i) {
            if (!path.empty() && path.back() != '\\') path += Chance(85) ? "\\" : "\\\\";
            path += Component();
        }
        if (Chance(15)) path += Chance(70) ? "\\" : "\\\\";
        if (Chance(35)) PadTo(&path, 252 + Pick(0, 6));  // 252 to 258 bytes
        return path;
    }

    // Refused, the root itself, or below the root's base.
    bool StaysInsideBases(const std::string& path) const {
        const Verdict verdict = Judge(path, shiftJis);
        if (verdict.refused) return true;
        const size_t start = verdict.body.find_first_not_of('\\');
        if (start == std::string::npos) return true;
        const std::string body = verdict.body.substr(start);
        for (size_t i = 0; i < 5; ++i) {
            if (kRoots[i].key != verdict.root) continue;
            const std::string& base = bases[i];
            return body.compare(0, base.size(), base) == 0 &&
                   (body.size() == base.size() || body[base.size()] == '\\');
        }
        return false;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool Chance(int percent) { return Pick(0, 99) < percent; }

    std::string RootPart() {
        std::string name = kRoots[Pick(0, 4)].name;
        switch (Pick(0, 9)) {
            case 0: {  // letter-case variant (never the same text)
                std::string changed = name;
                do {
                    for (char& c : changed) {
                        if (Chance(30)) c = static_cast<char>(c ^ 0x20 * (std::isalpha(c) != 0));
                    }
                } while (changed == name);
                return changed;
            }
            case 1: {
                const char* others[] = {"HKLM",
                                        "HKCU",
                                        "HKU",
                                        "HKCR",
                                        "HKCC",
                                        "HKEY_PERFORMANCE_DATA",
                                        "HKEY_DYN_DATA",
                                        "HKEY_PERFORMANCE_TEXT",
                                        "",
                                        "HKEY_",
                                        "hkey_local_machine"};
                return others[Pick(0, 10)];
            }
            case 2: {  // near misses
                switch (Pick(0, 3)) {
                    case 0:
                        return name + " ";
                    case 1:
                        return " " + name;
                    case 2:
                        return name.substr(0, name.size() - 1);
                    default:
                        return name + "X";
                }
            }
            case 3:
                if (shiftJis) {
                    // A lead byte at the end of the root name swallows the
                    // backslash after it as its trail byte.
                    return name + static_cast<char>(Pick(0, 1) ? 0x95 : 0x81);
                }
                return name + static_cast<char>(Pick(0x80, 0xFF));
            default:
                return name;
        }
    }

    std::string Separator() {
        switch (Pick(0, 9)) {
            case 0:
                return "";
            case 1:
                return "\\\\";
            case 2:
                return "\\\\\\";
            default:
                return "\\";
        }
    }

    std::string Component() {
        if (Chance(20)) return Chance(50) ? "exists" : "exists\\deeper";
        std::string text;
        int length = Pick(1, 12);
        for (int i = 0; i < length; ++i) {
            if (shiftJis && Chance(35)) {
                // A double-byte character, its trail byte often the backslash code.
                text += static_cast<char>(Chance(50) ? 0x95 : Pick(0x81, 0x9F));
                text += static_cast<char>(Chance(50) ? 0x5C : Pick(0x40, 0x7E));
            } else if (!shiftJis && Chance(10)) {
                text += static_cast<char>(Pick(0x80, 0xFF));
            } else {
                const char plain[] =
                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _.-";
                text += plain[Pick(0, sizeof plain - 2)];
            }
        }
        return text;
    }

    // Grows the last component (or adds one) until `path` has `length` bytes,
    // so paths land around the 255/256 boundary.
    void PadTo(std::string* path, size_t length) {
        if (path->size() >= length) return;
        if (!path->empty() && path->back() == '\\') path->push_back('p');
        while (path->size() < length) path->push_back('p');
    }

    // Which root a generated path starts with, exactly and then a backslash; 5 for none.
    static size_t RootIndexOf(const std::string& path) {
        for (size_t i = 0; i < 5; ++i) {
            std::string prefix = std::string(kRoots[i].name) + "\\";
            if (path.compare(0, prefix.size(), prefix) == 0) return i;
        }
        return 5;
    }

    std::mt19937 random;
    bool shiftJis;
    std::vector<std::string> bases;
};

// The path with bytes outside printable ASCII as \xNN.
inline std::string Shown(const std::string& path) {
    std::string shown;
    for (unsigned char c : path) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown + " (" + std::to_string(path.size()) + " bytes)";
}

enum class Operation { kOpen, kCreate };

// Checks one path against the model; returns an empty text or what went wrong.
inline std::string Check(Operation operation, const std::string& path, bool shiftJis) {
    const Verdict verdict = Judge(path, shiftJis);
    RegistryKey key;
    SetLastError(test_support::kLastErrorSentinel);
    bool result =
        operation == Operation::kOpen ? key.Open(path.c_str()) : key.Create(path.c_str(), nullptr);
    DWORD code = GetLastError();
    char text[256];
    if (verdict.refused) {
        if (result || code != ERROR_INVALID_PARAMETER || key.RootKey() != nullptr ||
            key.CurrentKey() != nullptr) {
            std::snprintf(text, sizeof text,
                          "expected a refusal before any registry call; got %d, code %lu, root %p",
                          result, code, static_cast<void*>(key.RootKey()));
            return text;
        }
        return "";
    }
    // The registry's own answer to the same request (after ours, so a key
    // that Create made is simply opened again here).
    HKEY raw = nullptr;
    LONG expected = operation == Operation::kOpen
                        ? RegOpenKeyExA(verdict.root, verdict.body.c_str(), 0, KEY_ALL_ACCESS, &raw)
                        : RegCreateKeyExA(verdict.root, verdict.body.c_str(), 0, nullptr, 0,
                                          KEY_ALL_ACCESS, nullptr, &raw, nullptr);
    if (expected == ERROR_SUCCESS) RegCloseKey(raw);
    bool rightCode = expected == ERROR_SUCCESS ? result && code == ERROR_SUCCESS
                                               : !result && code == static_cast<DWORD>(expected);
    bool rightState =
        key.RootKey() == verdict.root &&
        (result ? key.CurrentKey() != nullptr && path == key.Path() : key.CurrentKey() == nullptr);
    if (!rightCode || !rightState) {
        std::snprintf(text, sizeof text,
                      "expected the registry's answer %ld under root %p; got %d, code %lu, "
                      "root %p, path %s",
                      expected, static_cast<void*>(verdict.root), result, code,
                      static_cast<void*>(key.RootKey()), result ? key.Path() : "-");
        return text;
    }
    return "";
}

}  // namespace path_model
