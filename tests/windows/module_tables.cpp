#include "module_tables.h"

#include <stdint.h>
#include <string.h>

namespace {

// The few fields of the PE image that are read here, at their offsets in the format.
constexpr int kNewHeaderOffset = 0x3C;  // in the DOS header: where "PE\0\0" starts
constexpr int kOptionalHeader = 24;     // after the signature and the file header
constexpr int kEntryPoint = 16;         // in the optional header
constexpr int kDirectoriesPe32 = 96;    // data directories in the optional header
constexpr int kDirectoriesPe32Plus = 112;
constexpr int kExportDirectory = 0, kImportDirectory = 1;
constexpr int kImportDescriptorSize = 20, kImportName = 12;

uint32_t Read32(const uint8_t* at) {
  uint32_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

const uint8_t* OptionalHeader(const uint8_t* image) {
  return image + Read32(image + kNewHeaderOffset) + kOptionalHeader;
}

// The image offset of a data directory's table, or 0 when the module has none.
uint32_t DirectoryAddress(const uint8_t* image, int entry) {
  const uint8_t* optional = OptionalHeader(image);
  const bool pe32_plus = optional[0] == 0x0B && optional[1] == 0x02;
  return Read32(optional + (pe32_plus ? kDirectoriesPe32Plus : kDirectoriesPe32) + 8 * entry);
}

}  // namespace

int ExportedNames(const void* module, const char** names, int capacity, int* functions) {
  const uint8_t* image = static_cast<const uint8_t*>(module);
  *functions = 0;
  const uint32_t exports = DirectoryAddress(image, kExportDirectory);
  if (exports == 0) return 0;
  // The address table may hold empty slots (lld-link leaves ordinal 0 unused).
  const uint8_t* addresses = image + Read32(image + exports + 28);
  for (uint32_t i = 0, slots = Read32(image + exports + 20); i < slots; ++i)
    if (Read32(addresses + 4 * i) != 0) ++*functions;
  const int count = int(Read32(image + exports + 24));
  const uint8_t* name_addresses = image + Read32(image + exports + 32);
  for (int i = 0; i < count && i < capacity; ++i)
    names[i] = reinterpret_cast<const char*>(image + Read32(name_addresses + 4 * i));
  return count;
}

int ImportedLibraries(const void* module, const char** names, int capacity) {
  const uint8_t* image = static_cast<const uint8_t*>(module);
  const uint32_t imports = DirectoryAddress(image, kImportDirectory);
  if (imports == 0) return 0;
  int count = 0;
  for (const uint8_t* d = image + imports; Read32(d + kImportName) != 0;
       d += kImportDescriptorSize, ++count) {
    if (count < capacity)
      names[count] = reinterpret_cast<const char*>(image + Read32(d + kImportName));
  }
  return count;
}

unsigned EntryPointAddress(const void* module) {
  return Read32(OptionalHeader(static_cast<const uint8_t*>(module)) + kEntryPoint);
}
