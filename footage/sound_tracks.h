// The sound tracks a file offers, and the choice among them that the options
// dialog makes: plain functions of the track list, the same on every
// platform. Row 0 of the dialog is "No sound"; row n is track n, the file's
// n-th sound stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

struct SoundTrack {
  int stream_index = -1;
  int32_t codec_id = 0;  // AVCodecID
  std::string title;     // the stream's "title" tag; empty when it has none
  std::string language;  // its "language" tag; empty when none or undetermined
  std::string codec;     // the codec's short name
  int channels = 0;
  int sample_rate = 0;
};

// The item's sound, as chosen: the first usable track (what import takes),
// no sound at all, or the stream with this index.
inline constexpr int kDefaultSoundTrack = -2;
inline constexpr int kNoSoundTrack = -1;

// A choice as it is kept with the project: the stream and its codec, so
// that a file changed since is noticed.
struct SoundTrackChoice {
  int32_t stream_index = kNoSoundTrack;
  int32_t codec_id = 0;
};

// Every sound stream of the file, in stream order.
std::vector<SoundTrack> ListSoundTracks(const AVFormatContext& format);

// The dialog's rows: "No sound", then one line per track ("2  Microphone
// (eng)  ac3, 6 ch, 48000 Hz").
std::vector<std::string> TrackRows(const std::vector<SoundTrack>& tracks);

// The row of the stream in use: its track's number, 0 when no track is used.
int RowOfStream(const std::vector<SoundTrack>& tracks, int stream_index);

// What a row stands for: kNoSoundTrack for row 0, else the track's stream and
// codec; none for a row the list does not have.
std::optional<SoundTrackChoice> ChoiceOfRow(const std::vector<SoundTrack>& tracks, int row);

// The stream the choice names, when it is still a sound stream of the same
// codec in `format`.
bool ChoiceMatches(const AVFormatContext& format, const SoundTrackChoice& choice);

// One short line naming the track in use, for the host's information lines:
// "Sound 2: Microphone", "Sound 1", "No sound".
std::string TrackInUseLine(const std::vector<SoundTrack>& tracks, int stream_index);
