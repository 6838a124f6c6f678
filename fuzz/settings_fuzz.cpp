// Arbitrary bytes as a settings file, and as one --set line: the reader must
// not crash, and the record it yields must serialise to a text that reads
// back to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/settings_file.h"

namespace {

void ExpectStableSerialisation(const CommonStruct& record) {
  const std::string text = SerializeSettings(record);
  CommonStruct read_back;
  ApplySettingsText(read_back, NormalizeSettingsBytes(text));
  read_back.SettingsText = text;
  if (SettingsChanged(read_back)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  CommonStruct record;
  ApplySettingsText(record, NormalizeSettingsBytes(bytes));
  ExpectStableSerialisation(record);

  CommonStruct one_line;
  std::string unknown_key;
  ApplySettingLine(one_line, bytes.substr(0, bytes.find('\n')), unknown_key);
  ExpectStableSerialisation(one_line);
  return 0;
}
