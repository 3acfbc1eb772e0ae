#include "access_list.h"

#include <sddl.h>

LONG SetKeyAccessList(HKEY root, const char* subPath, const char* sddl, REGSAM view,
                      AccessListStep* failedStep) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        *failedStep = AccessListStep::kParse;
        return static_cast<LONG>(GetLastError());
    }
    // WRITE_DAC alone: a key the caller may no longer read can still be given
    // its access back.
    HKEY key;
    LONG r = RegOpenKeyExA(root, subPath, 0, WRITE_DAC | view, &key);
    if (r == ERROR_SUCCESS) {
        r = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    *failedStep = r == ERROR_SUCCESS ? AccessListStep::kNone : AccessListStep::kApply;
    return r;
}
