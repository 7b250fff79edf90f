// One stream of an item's file, read on a demuxer of its own (only that
// stream) and decoded: the packet loop and the seeks that picture and sound
// share. The reader's user sees packets through an optional watcher, and
// decides what each frame means.
#pragma once

#include <cstdint>

#include "footage/av_owners.h"
#include "footage/footage_item.h"

// What a user of the packet loop learns of it, and may act on (every hook is
// optional).
class PacketWatch {
 public:
  // A packet of the stream, about to go to the decoder.
  virtual void Packet(AVCodecContext& /*decoder*/, const AVPacket& /*packet*/) {}
  // The decoder refused a packet (dropped, as a player would).
  virtual void Refused(int32_t /*error*/) {}
  // The input ended; the decoder is drained next.
  virtual void EndOfInput(AVCodecContext& /*decoder*/) {}

 protected:
  ~PacketWatch() = default;
};

struct StreamReader {
  const MediaSource* source = nullptr;  // the item's, which outlive the reader
  const StreamFacts* facts = nullptr;
  FormatContextPtr format;  // reads only the stream `facts` describes
  CodecContextPtr decoder;
  PacketPtr packet;  // the next packet, while one waits for the decoder
  bool packet_waiting = false;
  bool at_start = true;  // nothing read since the demuxer opened
  bool drained = false;  // the end of input was sent; a seek starts decoding again
  int threads = 0;       // the decoder's threads (0: automatic), for every decoder opened

  // Opens the demuxer and the decoder; false, with the reader unusable, when
  // either cannot be had.
  bool Open(const MediaSource& source, const StreamFacts& facts);

  // The next decoded frame into `frame`: frames pending in the decoder
  // first, then packets read from the demuxer, and at the end of input the
  // drain. A frame that fails to decode is skipped, up to a run of failures
  // that a broken stream cannot make the host wait through. False when no
  // frame is left before a seek.
  bool NextFrame(AVFrame* frame, PacketWatch* watch = nullptr);

  // Flushes the decoder, or with `fresh_decoder` replaces it, and seeks the
  // stream backward to `ts` (the key frame at or before it). A seek that
  // fails leaves the demuxer where it stood; frames still carry their
  // timestamps.
  void Seek(int64_t ts, bool fresh_decoder = false);

  // Flushes the decoder, or with `fresh_decoder` replaces it (RenewDecoder),
  // and puts the demuxer at the start of the file: a fresh demuxer (a seek by
  // timestamp can pass over packets before the first index entry), or where
  // the file cannot be opened again, a seek to `start` (AV_NOPTS_VALUE when
  // unknown) and then to the first bytes.
  void SeekToStart(int64_t start, bool fresh_decoder = false);

  // Replaces the decoder with a freshly opened one, the state a continuous
  // decode starts from: a flush keeps some state (window shapes, noise
  // generators) and does not restore the codec's start delay. False, with
  // the decoder untouched, when the new one does not open.
  bool RenewDecoder();

 private:
  // Drops what the decoder was given before a seek: the drain, a waiting packet.
  void Forget();
};

// A demuxer on the source for the stream `facts` describes, reading only that
// stream; null when the file is gone or no longer holds such a stream there.
// The format is known, and where the header lists every stream the probe's
// decoding is not needed again (the decoder takes its parameters from the
// probe).
FormatContextPtr OpenStreamDemuxer(const MediaSource& source, const StreamFacts& facts);
