// The names a loaded module exports and the DLLs it imports, read from its image in
// memory, as the loader sees them.
#pragma once

// Each fills `names` with at most `capacity` pointers into the image and returns how many
// there are. `functions` receives the number of exported functions, unnamed ones included.
int ExportedNames(const void* module, const char** names, int capacity, int* functions);
int ImportedLibraries(const void* module, const char** names, int capacity);
// The image offset of the code the loader runs when it maps the module; 0 for none.
unsigned EntryPointAddress(const void* module);
