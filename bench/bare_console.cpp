// The baseline for a whole run of the tool: a console program of the same
// toolchain and link mode that pulls in the same runtime pieces (console
// streams, the registry API), opens and closes one key, prints one line and
// exits. Whatever a run of Sorvane.exe costs beyond this is the tool's own work.
#include <windows.h>

#include <iostream>

int main() {
    HKEY key;
    // The key the tool opens: in the 32-bit view, which a 64-bit build names.
    const REGSAM view = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV", 0,
                      KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    std::cout << "Program has finished" << std::endl;
    return 0;
}
