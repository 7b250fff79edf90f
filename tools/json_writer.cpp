#include "tools/json_writer.h"

#include <cstdio>

std::string JsonQuoted(const std::string& value) {
  std::string out = "\"";
  for (const unsigned char c : value) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void JsonWriter::Key(const char* key) {
  if (!first_) text_ += ",";
  first_ = false;
  if (key != nullptr) text_ += JsonQuoted(key) + ":";
}

JsonWriter& JsonWriter::BeginObject(const char* key) {
  Key(key);
  text_ += "{";
  first_ = true;
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += "}";
  first_ = false;
  return *this;
}

JsonWriter& JsonWriter::BeginArray(const char* key) {
  Key(key);
  text_ += "[";
  first_ = true;
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += "]";
  first_ = false;
  return *this;
}

JsonWriter& JsonWriter::Int(const char* key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Number(const char* key, double value) {
  Key(key);
  char number[64];
  std::snprintf(number, sizeof number, "%.10g", value);
  text_ += number;
  return *this;
}

JsonWriter& JsonWriter::String(const char* key, const std::string& value) {
  Key(key);
  text_ += JsonQuoted(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(const char* key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}
