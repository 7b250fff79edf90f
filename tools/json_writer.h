// A small JSON writer for zarn-host's one-object outputs.
#pragma once

#include <cstdint>
#include <string>

class JsonWriter {
 public:
  JsonWriter& BeginObject(const char* key = nullptr);
  JsonWriter& EndObject();
  JsonWriter& BeginArray(const char* key = nullptr);
  JsonWriter& EndArray();
  JsonWriter& Int(const char* key, int64_t value);
  JsonWriter& Number(const char* key, double value);
  JsonWriter& String(const char* key, const std::string& value);
  JsonWriter& Bool(const char* key, bool value);
  const std::string& text() const { return text_; }

 private:
  void Key(const char* key);
  std::string text_;
  bool first_ = true;
};

std::string JsonQuoted(const std::string& value);
