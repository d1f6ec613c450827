// The line reader on arbitrary bytes, in both modes: every piece fits the
// 4096-byte buffer and the pieces put back together give the file (text mode:
// less the CR of each CRLF).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "text/LineReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = quorvel_fuzz::WriteScratchFile(data, size);
  std::string raw(reinterpret_cast<const char*>(data), size);
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i)
    if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text.push_back(raw[i]);
  for (auto mode : {quorvel::LineReader::kText, quorvel::LineReader::kBinary}) {
    quorvel::LineReader reader;
    if (!reader.Open(path, mode)) std::abort();
    std::string joined;
    while (reader.ReadLine()) {
      if (reader.Length() > 4095 || reader.Length() == 0) std::abort();
      joined.append(reader.Line(), reader.Length());
    }
    if (joined != (mode == quorvel::LineReader::kText ? text : raw)) std::abort();
  }
  return 0;
}
