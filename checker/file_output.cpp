#include "file_output.h"

DWORD WriteAndClose(HANDLE file, const std::string& bytes, bool flush) {
    DWORD error = ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = GetLastError();
    } else if (written != bytes.size()) {
        error = ERROR_WRITE_FAULT;
    } else if (flush && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    return error;
}
