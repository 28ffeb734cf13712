#include "json_writer.h"

#include <cstdio>

#include "utf_text.h"

namespace tenvik::packer {

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : sanitisedUtf8(utf8)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ << ",";
    first_.back() = false;
  }
}

void JsonWriter::beginObject() {
  beforeValue();
  out_ << "{";
  first_.push_back(true);
}

void JsonWriter::endObject() {
  first_.pop_back();
  out_ << "}";
}

void JsonWriter::beginArray() {
  beforeValue();
  out_ << "[";
  first_.push_back(true);
}

void JsonWriter::endArray() {
  first_.pop_back();
  out_ << "]";
}

void JsonWriter::key(std::string_view name) {
  beforeValue();
  out_ << jsonString(name) << ":";
  afterKey_ = true;
}

void JsonWriter::string(std::string_view text) {
  beforeValue();
  out_ << jsonString(text);
}

void JsonWriter::number(std::uint64_t value) {
  beforeValue();
  out_ << value;
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::null() {
  beforeValue();
  out_ << "null";
}

}  // namespace tenvik::packer
