#include "registry_backup.h"

#include <cwchar>

#include "file_output.h"
#include "text_encoding.h"

namespace {

const wchar_t* const kHeader = L"Windows Registry Editor Version 5.00";
const wchar_t* const kLineEnd = L"\r\n";

// Hex lines are wrapped as regedit wraps them: a trailing backslash, then the
// next line indented by two spaces, no line longer than this.
const size_t kHexLineWidth = 80;

// A quoted .reg string: only the backslash and the quote are escaped.
std::wstring Quoted(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') quoted += L'\\';
        quoted += c;
    }
    return quoted + L"\"";
}

// The text of REG_SZ data when a quoted string gives the same bytes back: reg
// import stores a quoted string as its UTF-16 text and one NUL, so the data
// must be exactly that. A line break cannot stand inside a quoted string.
bool TextThatRoundTrips(const std::vector<BYTE>& data, std::wstring* text) {
    if (data.size() % 2 != 0) return false;
    *text = WideFromStored(data);
    if (text->empty() || text->back() != L'\0') return false;
    text->pop_back();
    return text->find_first_of(std::wstring(L"\0\r\n", 3)) == std::wstring::npos;
}

// Data as `reg export` writes it (hex: or hex(N): and the bytes, comma-
// separated), wrapped like regedit: a line ends in a backslash before it
// would pass 80 columns, and the next is indented by two spaces.
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

// One value line (or several, for long hex data), without its line end.
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

// The reg import call that restores the file into the view it was read from.
// With no view asked for, a process under WoW64 read the 32-bit view, which
// a plain reg import from a 64-bit prompt would miss; without WoW64 the
// process's own view is the only one there is.
std::wstring ViewComment(const std::wstring& fileName, REGSAM view) {
    const std::wstring call = L"reg import \"" + fileName + L"\"";
    BOOL wow64 = FALSE;
    if (view == 0 && !IsWow64Process(GetCurrentProcess(), &wow64)) wow64 = FALSE;
    if (view == KEY_WOW64_64KEY)
        return L"; Registry view: 64-bit. Restore with: " + call + L" /reg:64";
    if (view == KEY_WOW64_32KEY || wow64) {
        return L"; Registry view: 32-bit. Restore with: " + call + L" /reg:32";
    }
    return L"; Registry view: the system's own (no WoW64). Restore with: " + call;
}

// The folder GetTempFileNameW is to use: the one `fileName` names, so the
// final rename stays within one volume.
// Found on the UTF-16 name: in a double-byte code page a trail byte may be
// 0x5C, the byte of the backslash.
std::wstring FolderOf(const std::wstring& fileName) {
    const size_t slash = fileName.find_last_of(L"\\/");
    if (slash != std::wstring::npos) return fileName.substr(0, slash + 1);
    if (fileName.size() >= 2 && fileName[1] == L':') return fileName.substr(0, 2) + L".";
    return L".";
}

// Creates `path` afresh holding exactly `bytes`, flushed to the disk. The
// error code of the step that failed, or ERROR_SUCCESS.
DWORD WriteWholeFile(const wchar_t* path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    return WriteAndClose(file, bytes, true);
}

}  // namespace

std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          REGSAM view) {
    std::wstring out = std::wstring(kHeader) + kLineEnd + ViewComment(fileName, view) + kLineEnd;
    std::vector<bool> written(settings.size(), false);
    for (size_t first = 0; first < settings.size(); ++first) {
        if (written[first]) continue;
        const std::string& keyPath = settings[first].keyPath;
        out += kLineEnd;
        out += L"[" + WideFromAnsi(keyPath) + L"]" + kLineEnd;
        for (size_t i = first; i < settings.size(); ++i) {
            if (written[i] || settings[i].keyPath != keyPath) continue;
            out += ValueLine(settings[i]) + kLineEnd;
            written[i] = true;
        }
    }
    return out + kLineEnd;
}

bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     REGSAM view) {
    if (fileName.empty()) return Report(ERROR_INVALID_PARAMETER);
    const std::wstring text = FormatBackup(settings, fileName, view);
    std::string bytes = "\xFF\xFE";  // UTF-16LE byte-order mark
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));

    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(FolderOf(fileName).c_str(), L"srv", 0, temporary) == 0) {
        return Report(GetLastError());
    }
    DWORD error = WriteWholeFile(temporary, bytes);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary, fileName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) DeleteFileW(temporary);
    return Report(error);
}
