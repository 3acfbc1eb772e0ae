// Seeds and inspects the registry for the end-to-end tests with raw API calls,
// independent of RegistryKey. Commands run in order, each with its arguments:
//   delete KEY              delete KEY and everything below it (missing is fine)
//   create KEY              create KEY
//   set KEY NAME TYPE HEX   store the bytes HEX (may be "-" for none) with TYPE
//                           (sz, expand_sz, dword, multi_sz, binary)
//   dump KEY NAME           print "TYPE HEX" or "missing"
//   dumpw KEY NAME          the same, read as stored (UTF-16 for strings)
//   dacl KEY SDDL           replace KEY's access list
//   view 32|64|default      every later command opens its keys in that
//                           registry view (KEY_WOW64_32KEY, KEY_WOW64_64KEY,
//                           or the tool's default: see below)
// KEY is a full path whose root is named as the tool prints it
// (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS) or short (HKLM, HKCU,
// HKU). Exits 1 on the first failing command, after printing why.
//
// The probe is built like the tool, 32-bit or 64-bit, and its default view is
// the tool's: the 32-bit one on 64-bit Windows. The 32-bit probe runs under
// WoW64 in a 64-bit prefix and asks for no view, so HKLM\SOFTWARE\X means
// HKLM\SOFTWARE\WOW6432Node\X; the 64-bit one asks for KEY_WOW64_32KEY. Only
// "view 64" reaches the native copy.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "access_list.h"

namespace {

bool SplitKey(const std::string& full, HKEY* root, std::string* sub) {
    size_t slash = full.find('\\');
    std::string head = full.substr(0, slash);
    *sub = slash == std::string::npos ? "" : full.substr(slash + 1);
    if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE")
        *root = HKEY_LOCAL_MACHINE;
    else if (head == "HKCU" || head == "HKEY_CURRENT_USER")
        *root = HKEY_CURRENT_USER;
    else if (head == "HKU" || head == "HKEY_USERS")
        *root = HKEY_USERS;
    else
        return false;
    return true;
}

bool ParseHex(const std::string& hex, std::vector<BYTE>* bytes) {
    bytes->clear();
    if (hex == "-") return true;
    if (hex.size() % 2 != 0) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes->push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return true;
}

const char* TypeName(DWORD type) {
    switch (type) {
        case REG_SZ:
            return "sz";
        case REG_DWORD:
            return "dword";
        case REG_MULTI_SZ:
            return "multi_sz";
        case REG_EXPAND_SZ:
            return "expand_sz";
        case REG_BINARY:
            return "binary";
        default:
            return "other";
    }
}

bool TypeCode(const std::string& name, DWORD* type) {
    if (name == "sz")
        *type = REG_SZ;
    else if (name == "dword")
        *type = REG_DWORD;
    else if (name == "multi_sz")
        *type = REG_MULTI_SZ;
    else if (name == "expand_sz")
        *type = REG_EXPAND_SZ;
    else if (name == "binary")
        *type = REG_BINARY;
    else
        return false;
    return true;
}

const REGSAM kToolDefaultView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;

bool ViewFlag(const std::string& name, REGSAM* view) {
    if (name == "32")
        *view = KEY_WOW64_32KEY;
    else if (name == "64")
        *view = KEY_WOW64_64KEY;
    else if (name == "default")
        *view = kToolDefaultView;
    else
        return false;
    return true;
}

int Fail(const std::string& what, LONG code) {
    std::printf("regprobe: %s failed (%ld)\n", what.c_str(), code);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t i = 0;
    auto need = [&](size_t count) { return i + count <= args.size(); };
    REGSAM view = kToolDefaultView;
    while (i < args.size()) {
        const std::string command = args[i++];
        if (command == "view") {
            if (!need(1) || !ViewFlag(args[i++], &view)) return Fail("view argument", 0);
            continue;
        }
        HKEY root;
        std::string sub;
        if (!need(1) || !SplitKey(args[i], &root, &sub)) return Fail(command + " key", 0);
        ++i;
        if (command == "delete") {
            // RegDeleteTreeA takes no view, so the tree is emptied through a
            // handle opened in the view and the key itself deleted in it.
            HKEY key;
            LONG r = RegOpenKeyExA(root, sub.c_str(), 0, KEY_ALL_ACCESS | view, &key);
            if (r == ERROR_SUCCESS) {
                r = RegDeleteTreeA(key, nullptr);
                RegCloseKey(key);
                if (r == ERROR_SUCCESS) r = RegDeleteKeyExA(root, sub.c_str(), view, 0);
            }
            if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return Fail("delete", r);
        } else if (command == "create") {
            HKEY key;
            LONG r = RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                     nullptr, &key, nullptr);
            if (r != ERROR_SUCCESS) return Fail("create", r);
            RegCloseKey(key);
        } else if (command == "set") {
            if (!need(3)) return Fail("set arguments", 0);
            const std::string name = args[i++];
            DWORD type;
            std::vector<BYTE> bytes;
            if (!TypeCode(args[i++], &type) || !ParseHex(args[i++], &bytes)) {
                return Fail("set arguments", 0);
            }
            HKEY key;
            LONG r = RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                     nullptr, &key, nullptr);
            if (r != ERROR_SUCCESS) return Fail("set open", r);
            // One spare byte that is not zero after the data, so the registry
            // cannot mistake it for a terminator and store it.
            bytes.push_back(0xAA);
            r = RegSetValueExA(key, name.c_str(), 0, type, bytes.data(),
                               static_cast<DWORD>(bytes.size() - 1));
            RegCloseKey(key);
            if (r != ERROR_SUCCESS) return Fail("set", r);
        } else if (command == "dump" || command == "dumpw") {
            if (!need(1)) return Fail("dump arguments", 0);
            const std::string name = args[i++];
            HKEY key;
            LONG r = RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ | view, &key);
            if (r == ERROR_FILE_NOT_FOUND) {
                std::printf("missing\n");
                continue;
            }
            if (r != ERROR_SUCCESS) return Fail("dump open", r);
            std::vector<BYTE> data(70000);
            DWORD type = 0;
            DWORD size = static_cast<DWORD>(data.size());
            // dumpw: the data exactly as stored, with no conversion to the
            // ANSI code page (value names here are plain ASCII).
            if (command == "dumpw") {
                const std::wstring wideName(name.begin(), name.end());
                r = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, data.data(), &size);
            } else {
                r = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
            }
            RegCloseKey(key);
            if (r == ERROR_FILE_NOT_FOUND) {
                std::printf("missing\n");
                continue;
            }
            if (r != ERROR_SUCCESS) return Fail("dump", r);
            std::string hex;
            char pair[3];
            for (DWORD b = 0; b < size; ++b) {
                std::snprintf(pair, sizeof pair, "%02x", data[b]);
                hex += pair;
            }
            std::printf("%s %s\n",
                        command == "dumpw" ? std::to_string(type).c_str() : TypeName(type),
                        hex.empty() ? "-" : hex.c_str());
        } else if (command == "dacl") {
            if (!need(1)) return Fail("dacl arguments", 0);
            AccessListStep failedStep;
            LONG r = SetKeyAccessList(root, sub.c_str(), args[i++].c_str(), view, &failedStep);
            if (failedStep == AccessListStep::kParse) return Fail("dacl parse", r);
            if (r != ERROR_SUCCESS) return Fail("dacl", r);
        } else {
            return Fail("unknown command " + command, 0);
        }
    }
    std::fflush(stdout);
    return 0;
}
