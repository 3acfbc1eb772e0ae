// Renders a message of a file's message table with FormatMessage, as Event
// Viewer does for an event whose source names that file as EventMessageFile:
//   messageprobe FILE ID [INSERT...]
// prints it with the inserts (%1 the first) as UTF-8, line ends as they come;
// exits 1, saying why, when it cannot. The file is loaded as data only, so a
// probe of either bitness reads the exe of either build.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 1;
    const HMODULE file =
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    std::vector<DWORD_PTR> inserts;
    for (int i = 3; i < argc; ++i) inserts.push_back(reinterpret_cast<DWORD_PTR>(argv[i]));
    wchar_t* message = nullptr;
    const DWORD length =
        file == nullptr
            ? 0
            : FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                 FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             file, std::wcstoul(argv[2], nullptr, 0), 0,
                             reinterpret_cast<LPWSTR>(&message), 0,
                             reinterpret_cast<va_list*>(inserts.data()));
    if (length == 0) {
        std::printf("message %ls of %ls: error %lu\n", argv[2], argv[1], GetLastError());
        return 1;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, message, length, nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(size);
    WideCharToMultiByte(CP_UTF8, 0, message, length, bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), size, &written, nullptr);
    return 0;
}
