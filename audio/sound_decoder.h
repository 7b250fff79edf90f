// The audio decoder's send/receive protocol in one place: what a receive
// means, and the next decoded frame of the record's audio stream.
#pragma once

#include <cstdint>

#include "footage/av_owners.h"
#include "footage/footage_options.h"

enum class DecodeStep {
  kFrame,      // a frame came out
  kNeedInput,  // the decoder wants another packet
  kDrained,    // everything was drained after the end of input
  kFailed,     // the decoder failed
};
DecodeStep ClassifyReceive(int receive_result);

// Puts the next decoded frame of the audio stream into record.audio_frame:
// frames still pending in the decoder first, then packets read from the
// demuxer (other streams' packets are dropped, a packet the decoder refuses
// is skipped), and at the end of input the drain. False when no frame is
// left; record.audio_drained then says whether the decoder was drained.
bool NextSoundFrame(FootageOptions& record, AVPacket* packet);

// The frame's timestamp: its pts, else the decoder's best effort; may be
// AV_NOPTS_VALUE.
int64_t SoundFrameTimestamp(const AVFrame& frame);

// Replaces the record's decoder with a freshly opened one, the state a
// continuous decode starts from: a flush keeps some state (window shapes,
// noise generators) and does not restore the codec's start delay. False,
// with the record untouched, when the new decoder does not open.
bool RenewSoundDecoder(FootageOptions& record);

// Makes a sample's decoded value independent of where decoding began, where
// the decoder offers it: AC-3 dither seeded from each frame's own data.
void SetConsistentDecoding(AVCodecContext* decoder);
