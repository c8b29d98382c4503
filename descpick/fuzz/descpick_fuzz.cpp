// Looks an attribute up in any text. The first line of the input (up to the first line feed)
// is the property name, the rest the file's content.
#include "jad_property.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\n');
  if (split == std::string::npos) {
    split = 0;
  }
  std::string property = input.substr(0, split);
  std::string content = input.substr(split);
  std::string value = descpick::FindProperty(content, property);
  // A value is always part of the content.
  if (!value.empty() && content.find(value) == std::string::npos) {
    __builtin_trap();
  }
  return 0;
}
