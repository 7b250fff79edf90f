#include "footage/sound_tracks.h"

namespace {

std::string Tag(const AVStream& stream, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0);
  return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

// Titles come from other programs: keep them on one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}

}  // namespace

std::vector<SoundTrack> ListSoundTracks(const AVFormatContext& format) {
  std::vector<SoundTrack> tracks;
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    const AVStream& stream = *format.streams[i];
    const AVCodecParameters& par = *stream.codecpar;
    if (par.codec_type != AVMEDIA_TYPE_AUDIO) continue;
    SoundTrack track;
    track.stream_index = static_cast<int>(i);
    track.codec_id = static_cast<int32_t>(par.codec_id);
    track.title = OneLine(Tag(stream, "title"));
    track.language = OneLine(Tag(stream, "language"));
    if (track.language == "und") track.language.clear();
    const char* name = avcodec_get_name(par.codec_id);
    track.codec = name != nullptr ? name : "?";
    track.channels = par.ch_layout.nb_channels;
    track.sample_rate = par.sample_rate;
    tracks.push_back(std::move(track));
  }
  return tracks;
}

std::vector<std::string> TrackRows(const std::vector<SoundTrack>& tracks) {
  std::vector<std::string> rows{"No sound"};
  for (size_t n = 0; n < tracks.size(); ++n) {
    const SoundTrack& track = tracks[n];
    std::string row = std::to_string(n + 1);
    if (!track.title.empty()) row += "  " + track.title;
    if (!track.language.empty()) row += " (" + track.language + ")";
    row += "  " + track.codec + ", " + std::to_string(track.channels) + " ch, " +
           std::to_string(track.sample_rate) + " Hz";
    rows.push_back(std::move(row));
  }
  return rows;
}

int RowOfStream(const std::vector<SoundTrack>& tracks, int stream_index) {
  for (size_t n = 0; n < tracks.size(); ++n) {
    if (tracks[n].stream_index == stream_index) return static_cast<int>(n + 1);
  }
  return 0;
}

std::optional<SoundTrackChoice> ChoiceOfRow(const std::vector<SoundTrack>& tracks, int row) {
  if (row == 0) return SoundTrackChoice{kNoSoundTrack, 0};
  if (row < 0 || static_cast<size_t>(row) > tracks.size()) return std::nullopt;
  const SoundTrack& track = tracks[static_cast<size_t>(row - 1)];
  return SoundTrackChoice{track.stream_index, track.codec_id};
}

bool ChoiceMatches(const AVFormatContext& format, const SoundTrackChoice& choice) {
  if (choice.stream_index < 0 || static_cast<unsigned>(choice.stream_index) >= format.nb_streams)
    return false;
  const AVCodecParameters& par = *format.streams[choice.stream_index]->codecpar;
  return par.codec_type == AVMEDIA_TYPE_AUDIO && par.codec_id == choice.codec_id;
}

std::string TrackInUseLine(const std::vector<SoundTrack>& tracks, int stream_index) {
  const int row = RowOfStream(tracks, stream_index);
  if (row == 0) return "No sound";
  const SoundTrack& track = tracks[static_cast<size_t>(row - 1)];
  std::string line = "Sound " + std::to_string(row);
  if (!track.title.empty()) line += ": " + track.title;
  return line;
}
