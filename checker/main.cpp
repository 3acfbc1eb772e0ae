#include "check_run.h"
#include "console.h"
#include "single_copy.h"

int main(int argc, char**) {
    StartConsole();
    if (!TakeSingleCopyLock()) {
        PrintLine(kAnotherCopyRunning);
        return 0;
    }
    return RunCheck(argc);
}
