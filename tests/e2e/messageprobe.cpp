// Renders a message of a file's message table with FormatMessage, as Event
// Viewer and Get-WinEvent render an event whose source names that file as its
// EventMessageFile:
//   messageprobe FILE ID [INSERT...]
// prints the message with the inserts (%1 is the first) as UTF-8, line ends as
// FormatMessage gives them. An insert the message names beyond those given
// shows as <no insert N>. Exits 1, saying why, when the file cannot be loaded
// or holds no such message. The file is loaded as data only, so a probe of
// either bitness reads the exe of either build.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMostInserts = 99;  // FormatMessage's %1 to %99

void Write(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: messageprobe FILE ID [INSERT...]\n");
        return 1;
    }
    const HMODULE file =
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (file == nullptr) {
        std::printf("cannot load %ls: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::vector<std::wstring> inserts(argv + 3, argv + argc);
    for (int n = static_cast<int>(inserts.size()) + 1; n <= kMostInserts; ++n) {
        inserts.push_back(L"<no insert " + std::to_wstring(n) + L">");
    }
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& insert : inserts) {
        arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
    }
    wchar_t* message = nullptr;
    const DWORD id = std::wcstoul(argv[2], nullptr, 0);
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       file, id, 0, reinterpret_cast<LPWSTR>(&message), 0,
                       reinterpret_cast<va_list*>(arguments.data()));
    if (length == 0) {
        std::printf("no message %lu in %ls: error %lu\n", id, argv[1], GetLastError());
        return 1;
    }
    Write(std::wstring(message, length));
    LocalFree(message);
    FreeLibrary(file);
    return 0;
}
