#pragma once
// Writes one JSON document to a stream: objects, arrays and scalars, with
// the commas between members placed for the caller. Strings are taken as
// UTF-8; malformed bytes are written as U+FFFD, so the output is always
// valid JSON whatever a package's names hold.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

// The JSON string literal of utf8, quotes included.
std::string jsonString(std::string_view utf8);

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  void key(std::string_view name);  // the next value's member name
  void string(std::string_view text);
  void number(std::uint64_t value);
  void boolean(bool value);
  void null();

 private:
  void beforeValue();

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: no member written yet
  bool afterKey_ = false;
};

}  // namespace tenvik::packer
