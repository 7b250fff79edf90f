#include "audio/sound_decoder.h"

#include "footage/decoding.h"

bool NextSoundFrame(SoundReader& sound, AVPacket* packet) {
  AVCodecContext* decoder = sound.decoder.get();
  for (;;) {
    if (sound.drained) return false;
    switch (ReceiveFrame(decoder, sound.frame.get())) {
      case Received::kFrame:
        return true;
      case Received::kDrained:
        sound.drained = true;
        return false;
      case Received::kFailed:
        return false;
      case Received::kNeedInput:
        break;
    }
    // Find the next packet of the audio stream; at the end of input (or a
    // read error) drain once.
    for (;;) {
      int32_t error = 0;
      sound.at_start = false;
      if (av_read_frame(sound.format.get(), packet) < 0) {
        if (SendPacket(decoder, nullptr, &error) == Sent::kRefused) {
          sound.drained = true;  // nothing can come out any more
          return false;
        }
        break;
      }
      // A packet the decoder refuses is a decode error: skip it, as a player would.
      const bool ours = packet->stream_index == sound.facts->index;
      const bool taken = ours && SendPacket(decoder, packet, &error) == Sent::kTaken;
      av_packet_unref(packet);
      if (taken) break;
    }
  }
}

bool RenewSoundDecoder(SoundReader& sound) {
  CodecContextPtr fresh = OpenDecoder(*sound.facts->params, sound.facts->time_base);
  if (!fresh) return false;
  sound.decoder = std::move(fresh);
  sound.drained = false;
  return true;
}
