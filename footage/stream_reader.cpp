#include "footage/stream_reader.h"

#include "footage/decoding.h"
#include "footage/local_file.h"

namespace {

// A decoder that keeps failing without handing out anything is treated as
// finished, so a broken stream cannot hold the host.
constexpr int kMaxFailuresInARow = 64;

// Whether two values agree where both are known (0: not known).
bool Agree(int a, int b) { return a == 0 || b == 0 || a == b; }

// Whether the file still holds the stream the probe found, at its place: a
// file changed since cannot be read as the footage it was.
bool SameStream(const AVFormatContext& format, const StreamFacts& facts) {
  if (facts.index < 0 || static_cast<unsigned>(facts.index) >= format.nb_streams) return false;
  const AVCodecParameters& now = *format.streams[facts.index]->codecpar;
  const AVCodecParameters& then = *facts.params;
  return now.codec_type == then.codec_type && now.codec_id == then.codec_id &&
         av_cmp_q(format.streams[facts.index]->time_base, facts.time_base) == 0 &&
         Agree(now.width, then.width) && Agree(now.height, then.height) &&
         Agree(now.sample_rate, then.sample_rate);
}

}  // namespace

FormatContextPtr OpenStreamDemuxer(const MediaSource& source, const StreamFacts& facts) {
  if (!facts.params) return nullptr;
  FormatContextPtr format = OpenLocalFile(source.path.c_str(), source.format);
  if (!format) return nullptr;
  const bool listed = (format->ctx_flags & AVFMTCTX_NOHEADER) == 0 && SameStream(*format, facts);
  if (!listed &&
      (avformat_find_stream_info(format.get(), nullptr) < 0 || !SameStream(*format, facts))) {
    return nullptr;
  }
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    format->streams[i]->discard =
        static_cast<int>(i) == facts.index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  }
  return format;
}

bool StreamReader::Open(const MediaSource& the_source, const StreamFacts& the_facts) {
  source = &the_source;
  facts = &the_facts;
  format = OpenStreamDemuxer(the_source, the_facts);
  if (!format) return false;
  decoder = OpenDecoder(*the_facts.params, the_facts.time_base, threads);
  packet.reset(av_packet_alloc());
  return decoder && packet;
}

bool StreamReader::NextFrame(AVFrame* frame, PacketWatch* watch) {
  AVCodecContext* codec = decoder.get();
  int failures = 0;
  for (;;) {
    switch (ReceiveFrame(codec, frame)) {
      case Received::kFrame:
        return true;
      case Received::kFailed:
        if (++failures < kMaxFailuresInARow) continue;
        return false;
      case Received::kDrained:
        return false;
      case Received::kNeedInput:
        if (drained) return false;  // nothing more can come out
        failures = 0;
        break;
    }
    int32_t error = 0;
    if (packet_waiting) {  // the decoder was busy with it: once more, then it is dropped
      packet_waiting = false;
      if (SendPacket(codec, packet.get(), &error) == Sent::kRefused && watch) watch->Refused(error);
      av_packet_unref(packet.get());
      continue;
    }
    at_start = false;
    if (av_read_frame(format.get(), packet.get()) < 0) {
      if (watch) watch->EndOfInput(*codec);
      (void)SendPacket(codec, nullptr, &error);  // a drain that is refused leaves nothing to drain
      drained = true;
      continue;
    }
    if (packet->stream_index != facts->index) {
      av_packet_unref(packet.get());
      continue;
    }
    if (watch) watch->Packet(*codec, *packet);
    const Sent sent = SendPacket(codec, packet.get(), &error);
    if (sent == Sent::kBusy) {
      packet_waiting = true;
      continue;
    }
    if (sent == Sent::kRefused && watch) watch->Refused(error);
    av_packet_unref(packet.get());
  }
}

void StreamReader::Forget() {
  drained = false;
  packet_waiting = false;
  av_packet_unref(packet.get());
}

void StreamReader::Seek(int64_t ts, bool fresh_decoder) {
  if (!fresh_decoder || !RenewDecoder()) avcodec_flush_buffers(decoder.get());
  Forget();
  at_start = false;
  AVFormatContext* demuxer = format.get();
  if (av_seek_frame(demuxer, facts->index, ts, AVSEEK_FLAG_BACKWARD) < 0) {
    (void)avformat_seek_file(demuxer, facts->index, INT64_MIN, ts, ts, 0);
  }
}

void StreamReader::SeekToStart(int64_t start, bool fresh_decoder) {
  if (!fresh_decoder || !RenewDecoder()) avcodec_flush_buffers(decoder.get());
  Forget();
  if (at_start && format) return;
  if (FormatContextPtr fresh = OpenStreamDemuxer(*source, *facts)) {
    format = std::move(fresh);
    at_start = true;
    return;
  }
  at_start = false;
  AVFormatContext* demuxer = format.get();
  const int index = facts->index;
  // Backward from the first timestamp lands on the first key frame; a
  // demuxer that cannot seek by time (a raw stream) is rewound by bytes.
  if ((start == AV_NOPTS_VALUE || av_seek_frame(demuxer, index, start, AVSEEK_FLAG_BACKWARD) < 0) &&
      avformat_seek_file(demuxer, index, INT64_MIN, INT64_MIN, INT64_MIN, 0) < 0) {
    (void)av_seek_frame(demuxer, -1, 0, AVSEEK_FLAG_BYTE);
  }
}

bool StreamReader::RenewDecoder() {
  CodecContextPtr fresh = OpenDecoder(*facts->params, facts->time_base, threads);
  if (!fresh) return false;
  decoder = std::move(fresh);
  drained = false;
  return true;
}
