#include "tests/support/reference_audio.h"

#include <cmath>
#include <limits>

#include "tests/support/timeline.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace zarn_test {
namespace {

// Appends one frame converted to float stereo at `rate`.
bool AppendConverted(const AVFrame* frame, int rate, std::vector<float>* out) {
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, frame->ch_layout.nb_channels);
  else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
    return false;
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, 2);
  SwrContext* swr = nullptr;
  bool ok = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, rate, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr) >= 0 &&
            swr_init(swr) >= 0;
  if (!ok && in.order == AV_CHANNEL_ORDER_UNSPEC && frame->sample_rate == rate) {
    // FFmpeg has no mix for so many channels of no named place: each is
    // heard equally on both sides, at 1/N so that nothing clips.
    swr_free(&swr);
    ok = swr_alloc_set_opts2(&swr, &in, AV_SAMPLE_FMT_FLTP, rate, &in,
                             static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                             nullptr) >= 0 &&
         swr_init(swr) >= 0;
    const int channels = in.nb_channels;
    std::vector<std::vector<float>> planes(static_cast<size_t>(channels),
                                           std::vector<float>(frame->nb_samples));
    std::vector<uint8_t*> pointers;
    for (auto& plane : planes) pointers.push_back(reinterpret_cast<uint8_t*>(plane.data()));
    const int n =
        ok ? swr_convert(swr, pointers.data(), frame->nb_samples,
                         const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples)
           : -1;
    ok = n >= 0;
    for (int i = 0; i < n; ++i) {
      double sum = 0.0;
      for (const auto& plane : planes) sum += plane[static_cast<size_t>(i)];
      out->push_back(static_cast<float>(sum / channels));
      out->push_back(static_cast<float>(sum / channels));
    }
    swr_free(&swr);
    av_channel_layout_uninit(&in);
    return ok;
  }
  if (ok) {
    const int capacity = swr_get_out_samples(swr, frame->nb_samples);
    const size_t at = out->size();
    out->resize(at + static_cast<size_t>(capacity) * 2);
    uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(out->data() + at)};
    const int n = swr_convert(swr, planes, capacity,
                              const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    ok = n >= 0;
    out->resize(at + static_cast<size_t>(ok ? n : 0) * 2);
  }
  swr_free(&swr);
  av_channel_layout_uninit(&in);
  return ok;
}

}  // namespace

ReferenceAudio DecodeReferenceAudio(const std::string& path, int track) {
  ReferenceAudio ref;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) != 0) return ref;
  AVCodecContext* decoder = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int index = -1;
  const bool probed = avformat_find_stream_info(format, nullptr) >= 0;
  // The plug-in takes the first audio stream, not FFmpeg's "best" one,
  // unless the user chose another.
  int seen = 0;
  for (unsigned i = 0; probed && i < format->nb_streams; ++i) {
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && ++seen == track) {
      index = static_cast<int>(i);
      break;
    }
  }
  bool ok = false;
  if (index >= 0) {
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    decoder = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    ok = decoder != nullptr && avcodec_parameters_to_context(decoder, stream->codecpar) >= 0;
    if (ok) {
      decoder->pkt_timebase = stream->time_base;
      // As the plug-in decodes: AC-3 dither seeded per frame, so a sample's
      // value does not depend on where decoding began.
      (void)av_opt_set_int(decoder, "cons_noisegen", 1, AV_OPT_SEARCH_CHILDREN);
      ok = avcodec_open2(decoder, codec, nullptr) >= 0;
    }
    if (ok) {
      ref.rate = decoder->sample_rate;
      ref.tb_num = stream->time_base.num;
      ref.tb_den = stream->time_base.den;
      ref.start_time = stream->start_time;
    }
  }
  bool first = true;
  bool input_done = false;
  while (ok) {
    const int received = avcodec_receive_frame(decoder, frame);
    if (received == AVERROR_EOF) break;
    if (received >= 0) {
      if (frame->nb_samples > 0) {
        if (first) {
          ref.first_pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
          first = false;
        }
        ref.frame_starts.push_back(ref.frames());
        ok = AppendConverted(frame, ref.rate, &ref.samples);
      }
      continue;
    }
    // A damaged packet (the cut-off last one of a killed recording) is
    // passed over, as players do; the decoder then wants the next.
    if (received == AVERROR_INVALIDDATA) continue;
    if (received != AVERROR(EAGAIN)) {
      ok = false;
      break;
    }
    if (input_done) break;
    if (av_read_frame(format, packet) < 0) {
      input_done = true;
      avcodec_send_packet(decoder, nullptr);
      continue;
    }
    if (packet->stream_index == index)
      (void)avcodec_send_packet(decoder, packet);  // skip bad packets
    av_packet_unref(packet);
  }
  ref.ok = ok && !first;
  if (ref.start_time == AV_NOPTS_VALUE) ref.start_time = ref.first_pts;
  if (ref.ok) {
    ref.origin_offset = SamplesToOrigin(OriginOfFile(*format, track), ref.first_pts,
                                        AVRational{ref.tb_num, ref.tb_den}, ref.rate);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return ref;
}

int64_t ReferenceAudio::FootageOffset() const { return origin_offset; }

std::vector<float> ReferenceAudio::Expected(int64_t first, int64_t count) const {
  std::vector<float> out(static_cast<size_t>(count) * 2, 0.0f);
  const int64_t offset = FootageOffset();
  for (int64_t i = 0; i < count; ++i) {
    const int64_t at = first + i + offset;
    if (at < 0 || at >= frames()) continue;
    out[static_cast<size_t>(i) * 2] = samples[static_cast<size_t>(at) * 2];
    out[static_cast<size_t>(i) * 2 + 1] = samples[static_cast<size_t>(at) * 2 + 1];
  }
  return out;
}

Difference CompareSamples(const std::vector<float>& got, const std::vector<float>& want) {
  Difference d;
  if (got.size() != want.size()) {
    d.largest = std::numeric_limits<double>::infinity();
    return d;
  }
  for (size_t i = 0; i < got.size(); ++i) {
    const double diff = std::fabs(static_cast<double>(got[i]) - want[i]);
    if (diff > d.largest || std::isnan(diff)) {
      d.largest = std::isnan(diff) ? std::numeric_limits<double>::infinity() : diff;
      d.at = static_cast<int64_t>(i / 2);
    }
  }
  return d;
}

}  // namespace zarn_test
