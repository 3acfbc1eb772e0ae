#include "registry_backup.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "host.h"
#include "shown_text.h"
#include "stored_value.h"

namespace {

const wchar_t* const kLineEnd = L"\r\n";

const size_t kHexLineWidth = 80;

// The text of REG_SZ data when a quoted string gives the same bytes back: reg
// import stores its text and one NUL, and no line break can stand in it.
bool TextThatRoundTrips(const std::vector<BYTE>& data, std::wstring* text) {
    if (data.size() % 2 != 0) return false;
    *text = WideFromStored(data);
    if (text->empty() || text->back() != L'\0') return false;
    text->pop_back();
    return text->find_first_of(std::wstring(L"\0\r\n", 3)) == std::wstring::npos;
}

// Wrapped as regedit wraps it: a line ends in a backslash before it would
// pass 80 columns, and the next is indented by two spaces.
std::wstring WrappedHex(const std::string& hex, size_t lineStart) {
    const size_t colon = hex.find(':');
    std::wstring out = WideFromAnsi(hex.substr(0, colon + 1));
    size_t column = lineStart + out.size();
    for (size_t at = colon + 1; at < hex.size(); at += 3) {
        // Room for "xx," and the backslash; the first byte stays by the tag.
        if (at > colon + 1 && column + 4 > kHexLineWidth) {
            out += std::wstring(L"\\") + kLineEnd + L"  ";
            column = 2;
        }
        out += WideFromAnsi(hex.substr(at, 3));
        column += hex.size() - at >= 3 ? 3 : 2;
    }
    return out;
}

std::wstring ValueLine(const StoredSetting& setting) {
    const std::wstring name =
        setting.valueName.empty() ? L"@" : Quoted(WideFromAnsi(setting.valueName));
    const std::wstring prefix = name + L"=";
    std::wstring text;
    if (setting.type == REG_SZ && TextThatRoundTrips(setting.data, &text)) {
        return prefix + Quoted(text);
    }
    if (setting.type == REG_DWORD && setting.data.size() == sizeof(DWORD)) {
        wchar_t number[16];
        std::swprintf(number, 16, L"dword:%08lx", DwordOf(setting.data));
        return prefix + number;
    }
    return prefix + WrappedHex(HexText(setting.type, setting.data), prefix.size());
}

// On 64-bit Windows a path through SOFTWARE\WOW6432Node reaches the 32-bit view
// from either reg.exe, so a backup of that view names its keys that way and a
// plain reg import restores them where they were read. The 64-bit view has no
// such name: a 32-bit reg.exe reaches it only when told /reg:64. 32-bit Windows
// has one view and no WOW6432Node.
enum class FileView { kOnly, k32BitOn64, k64BitOn64 };

FileView ViewOf(RegistryView view) {
    BOOL wow64 = FALSE;
    const bool windows64 =
        sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    if (!windows64) return FileView::kOnly;
    return view.Is64() ? FileView::k64BitOn64 : FileView::k32BitOn64;
}

std::wstring KeyInFile(const std::string& keyPath, FileView view) {
    const std::string software = "HKEY_LOCAL_MACHINE\\SOFTWARE\\";
    if (view != FileView::k32BitOn64 || keyPath.compare(0, software.size(), software) != 0) {
        return WideFromAnsi(keyPath);
    }
    return WideFromAnsi(software + "WOW6432Node\\" + keyPath.substr(software.size()));
}

std::wstring ViewComment(const std::wstring& fileName, FileView view) {
    const wchar_t* const kViewNames[] = {L"the system's own (no WoW64)",
                                         L"32-bit (keys named through WOW6432Node)", L"64-bit"};
    return std::wstring(L"; Registry view: ") + kViewNames[static_cast<int>(view)] +
           L". Restore with: reg import \"" + fileName + L"\"" +
           (view == FileView::k64BitOn64 ? L" /reg:64" : L"");
}

std::wstring CandidateName(const std::wstring& fileName, int attempt) {
    if (attempt == 0) return fileName;
    std::wstring suffix = WideFromAnsi(LocalTime("-%04u%02u%02u-%02u%02u%02u"));
    if (attempt > 1) suffix += L"-" + std::to_wstring(attempt);
    const size_t slash = fileName.find_last_of(L"\\/:");
    const size_t dot = fileName.find_last_of(L'.');
    const size_t at = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                          ? dot
                          : fileName.size();
    return fileName.substr(0, at) + suffix + fileName.substr(at);
}

// The folder of `fileName`, so the final rename stays within one volume.
std::wstring FolderOf(const std::wstring& fileName) {
    const std::wstring full = FullName(fileName);
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}

const wchar_t kBackupInFolder[] = L"ldap-before.reg";

// Named with a trailing separator, or an existing folder.
bool NamesFolder(const std::wstring& name) {
    if (!name.empty() && (name.back() == L'\\' || name.back() == L'/')) return true;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          RegistryView view) {
    const FileView fileView = ViewOf(view);
    std::wstring out = std::wstring(L"Windows Registry Editor Version 5.00") + kLineEnd +
                       ViewComment(fileName, fileView) + kLineEnd;
    std::vector<std::string> keys;  // in the order they first appear
    for (const StoredSetting& setting : settings) {
        if (std::find(keys.begin(), keys.end(), setting.keyPath) == keys.end()) {
            keys.push_back(setting.keyPath);
        }
    }
    for (const std::string& key : keys) {
        out += kLineEnd + (L"[" + KeyInFile(key, fileView) + L"]") + kLineEnd;
        for (const StoredSetting& setting : settings) {
            if (setting.keyPath == key) out += ValueLine(setting) + kLineEnd;
        }
    }
    return out + kLineEnd;
}

namespace {

// The backup `name` will be, with its UTF-16LE byte-order mark, in `temporary`.
bool WriteTemporary(const wchar_t* temporary, const std::vector<StoredSetting>& settings,
                    const std::wstring& name, RegistryView view) {
    const std::wstring text = FormatBackup(settings, name, view);
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && WriteAndClose(file, bytes, true);
}

}  // namespace

bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     RegistryView view, std::wstring* written) {
    // A folder gets a dated file of its own, named for what it holds.
    const bool folder = NamesFolder(fileName);
    const wchar_t last = fileName.empty() ? L'\\' : fileName.back();
    const std::wstring target =
        !folder ? fileName
                : fileName + (last == L'\\' || last == L'/' || last == L':' ? L"" : L"\\") +
                      kBackupInFolder;
    wchar_t temporary[MAX_PATH];
    if (fileName.empty() || GetTempFileNameW(FolderOf(target).c_str(), L"srv", 0, temporary) == 0) {
        return false;
    }
    for (int attempt = folder ? 1 : 0; attempt < 100; ++attempt) {
        const std::wstring name = CandidateName(target, attempt);
        if (!WriteTemporary(temporary, settings, name, view)) break;
        // Without MOVEFILE_REPLACE_EXISTING no file is overwritten, not even
        // one made meanwhile.
        if (MoveFileExW(temporary, name.c_str(), MOVEFILE_WRITE_THROUGH)) {
            *written = name;
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    DeleteFileW(temporary);
    return false;
}

bool RewriteBackupFile(const std::wstring& written, const std::vector<StoredSetting>& settings,
                       RegistryView view) {
    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(FolderOf(written).c_str(), L"srv", 0, temporary) == 0) return false;
    if (WriteTemporary(temporary, settings, written, view) &&
        MoveFileExW(temporary, written.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileW(temporary);
    return false;
}
