// A plugin DLL loaded from the test host's folder, as a host loads it, with the checks every
// plugin of ours must pass: one export, its entry; no entry point, so loading it runs no
// code; imports of system DLLs and the two runtime DLLs only.
#pragma once

// The address of `entry_name` in `file`, or null where it cannot be loaded or lacks it.
void* LoadCheckedPlugin(const char* file, const char* entry_name);
