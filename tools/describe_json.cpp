#include "tools/describe_json.h"

#include <cstdio>

#include "tools/json_writer.h"
#include "tools/sound_track_choice.h"

namespace {

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string out;
  char hex[4];
  for (const uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    if (!out.empty()) out += ' ';
    out += hex;
  }
  return out;
}

// The verbiage fields are host arrays: read no further than their size.
std::string FieldText(const char* field, size_t size) {
  size_t length = 0;
  while (length < size && field[length] != '\0') ++length;
  return std::string(field, length);
}

}  // namespace

std::string DescribeJson(ToolSession& session, A_Err result, std::optional<bool> user_interacted) {
  const standin::Told& told = session.told();

  JsonWriter json;
  json.BeginObject().Int("result", result);
  if (user_interacted) json.Bool("user_interacted", *user_interacted);
  if (told.size) json.Int("size", static_cast<int64_t>(*told.size));
  if (told.duration) {
    json.BeginObject("duration")
        .Int("value", told.duration->value)
        .Int("scale", told.duration->scale)
        .EndObject();
  }
  if (told.depth) json.Int("depth", *told.depth);
  if (told.dimensions) {
    json.Int("width", told.dimensions->first).Int("height", told.dimensions->second);
  }
  if (told.native_fps) {
    json.BeginObject("fps")
        .Int("fixed", *told.native_fps)
        .Number("value", *told.native_fps / 65536.0)
        .EndObject();
  }
  if (told.alpha_label) json.String("alpha_label", HexBytes(*told.alpha_label));
  if (told.interlace_label) json.String("interlace_label", HexBytes(*told.interlace_label));
  if (told.pixel_aspect) {
    json.BeginObject("pixel_aspect")
        .Int("num", told.pixel_aspect->num)
        .Int("den", told.pixel_aspect->den)
        .EndObject();
  }
  if (told.start_time) {
    json.BeginObject("start_time")
        .Int("value", told.start_time->value)
        .Int("scale", told.start_time->scale)
        .EndObject();
  }
  if (told.drop_frame) json.Bool("drop_frame", *told.drop_frame);
  if (told.sound_rate || told.sound_encoding || told.sound_sample_size || told.sound_channels) {
    json.BeginObject("sound");
    if (told.sound_rate) json.Number("rate", *told.sound_rate);
    if (told.sound_encoding) json.Int("encoding", *told.sound_encoding);
    if (told.sound_sample_size) json.Int("sample_size", *told.sound_sample_size);
    if (told.sound_channels) json.Int("channels", *told.sound_channels);
    json.EndObject();
  }
  if (result == A_Err_NONE) {
    if (const auto offered = OfferedSoundTracks(session)) {
      json.BeginArray("sound_tracks");
      for (const std::string& row : offered->rows) json.String(nullptr, row);
      json.EndArray().Int("sound_track", offered->current);
    }
  }
  AEIO_Verbiage verbiage{};
  if (session.host().GetInfo(session.spec(), &verbiage) == A_Err_NONE) {
    json.BeginArray("info")
        .String(nullptr, FieldText(verbiage.name, sizeof verbiage.name))
        .String(nullptr, FieldText(verbiage.type, sizeof verbiage.type))
        .String(nullptr, FieldText(verbiage.sub_type, sizeof verbiage.sub_type))
        .EndArray();
  }
  json.EndObject();
  return json.text();
}
