// One copy of the tool at a time: two copies repairing at once can leave the
// two suffixes different while each reports its changes.
#pragma once

// Takes the machine-wide lock of the tool, held until the process ends. False
// when another copy holds it.
bool TakeSingleCopyLock();
