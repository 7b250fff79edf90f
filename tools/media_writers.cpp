#include "tools/media_writers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "footage/av_owners.h"
#include "tools/tool_session.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

namespace {

[[noreturn]] void Fail(const std::string& path, const char* what) {
  throw ToolError("cannot write " + path + ": " + what);
}

void Check(int ret, const std::string& path, const char* what) {
  if (ret < 0) Fail(path, what);
}

// Receives every packet the encoder has and hands it to `sink`.
template <typename Sink>
void DrainEncoder(AVCodecContext* encoder, AVPacket* packet, const std::string& path, Sink sink) {
  while (true) {
    const int ret = avcodec_receive_packet(encoder, packet);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    Check(ret, path, "encoding failed");
    sink(packet);
    av_packet_unref(packet);
  }
}

struct OutputClose {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputClose>;

// One picture of `format` through FFmpeg's PNG encoder; `fill` writes the
// frame's rows.
template <typename Fill>
void EncodePng(const std::string& path, AVPixelFormat format, int width, int height, Fill fill) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (codec == nullptr) Fail(path, "no PNG encoder");
  CodecContextPtr encoder(avcodec_alloc_context3(codec));
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!encoder || !frame || !packet) throw std::bad_alloc();
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = format;
  encoder->time_base = AVRational{1, 1};
  Check(avcodec_open2(encoder.get(), codec, nullptr), path, "cannot open the PNG encoder");

  frame->format = format;
  frame->width = width;
  frame->height = height;
  Check(av_frame_get_buffer(frame.get(), 0), path, "out of memory");
  fill(*frame);

  std::string bytes;
  const auto keep = [&bytes](AVPacket* p) {
    bytes.append(reinterpret_cast<const char*>(p->data), static_cast<size_t>(p->size));
  };
  Check(avcodec_send_frame(encoder.get(), frame.get()), path, "encoding failed");
  Check(avcodec_send_frame(encoder.get(), nullptr), path, "encoding failed");
  DrainEncoder(encoder.get(), packet.get(), path, keep);

  AVIOContext* io = nullptr;
  Check(avio_open(&io, path.c_str(), AVIO_FLAG_WRITE), path, "cannot create the file");
  avio_write(io, reinterpret_cast<const unsigned char*>(bytes.data()),
             static_cast<int>(bytes.size()));
  Check(avio_closep(&io), path, "write error");
}

}  // namespace

void WriteRaw(const std::string& path, const void* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Fail(path, std::strerror(errno));
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) Fail(path, "write error");
}

void WritePng(const std::string& path, const uint8_t* argb, int width, int height, int stride) {
  // The host's ARGB becomes PNG's RGBA: the same bytes, alpha moved last.
  EncodePng(path, AV_PIX_FMT_RGBA, width, height, [&](AVFrame& frame) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* in = argb + static_cast<ptrdiff_t>(y) * stride;
      uint8_t* out = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
      for (int x = 0; x < width; ++x, in += 4, out += 4) {
        out[0] = in[1];
        out[1] = in[2];
        out[2] = in[3];
        out[3] = in[0];
      }
    }
  });
}

void WritePng16(const std::string& path, const uint16_t* argb, int width, int height) {
  // The host's 0..32768 becomes PNG's 0..65535, rounded; RGBA, big-endian.
  const auto widen = [](uint16_t v) {
    const uint32_t level = v < 32768 ? v : 32768;
    return static_cast<uint16_t>((level * 65535 + 16384) / 32768);
  };
  EncodePng(path, AV_PIX_FMT_RGBA64BE, width, height, [&](AVFrame& frame) {
    for (int y = 0; y < height; ++y) {
      const uint16_t* in = argb + static_cast<ptrdiff_t>(y) * width * 4;
      uint8_t* out = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
      for (int x = 0; x < width; ++x, in += 4) {
        for (const int c : {1, 2, 3, 0}) {
          const uint16_t v = widen(in[c]);
          *out++ = static_cast<uint8_t>(v >> 8);
          *out++ = static_cast<uint8_t>(v & 0xFF);
        }
      }
    }
  });
}

void WriteWav(const std::string& path, const float* samples, size_t sample_frames, int rate) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_F32LE);
  if (codec == nullptr) Fail(path, "no float PCM encoder");
  AVFormatContext* raw_output = nullptr;
  Check(avformat_alloc_output_context2(&raw_output, nullptr, "wav", path.c_str()), path,
        "no WAV muxer");
  OutputPtr output(raw_output);
  CodecContextPtr encoder(avcodec_alloc_context3(codec));
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!encoder || !frame || !packet) throw std::bad_alloc();

  av_channel_layout_default(&encoder->ch_layout, 2);
  encoder->sample_fmt = AV_SAMPLE_FMT_FLT;
  encoder->sample_rate = rate;
  encoder->time_base = AVRational{1, rate};
  Check(avcodec_open2(encoder.get(), codec, nullptr), path, "cannot open the encoder");
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  if (stream == nullptr) throw std::bad_alloc();
  Check(avcodec_parameters_from_context(stream->codecpar, encoder.get()), path, "bad parameters");
  stream->time_base = encoder->time_base;
  Check(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), path, "cannot create the file");
  Check(avformat_write_header(output.get(), nullptr), path, "cannot write the header");

  const auto mux = [&](AVPacket* p) {
    av_packet_rescale_ts(p, encoder->time_base, stream->time_base);
    p->stream_index = stream->index;
    Check(av_interleaved_write_frame(output.get(), p), path, "write error");
  };
  constexpr size_t kChunk = 4096;
  for (size_t done = 0; done < sample_frames; done += kChunk) {
    const size_t count = std::min(kChunk, sample_frames - done);
    av_frame_unref(frame.get());
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = rate;
    frame->nb_samples = static_cast<int>(count);
    Check(av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout), path, "out of memory");
    Check(av_frame_get_buffer(frame.get(), 0), path, "out of memory");
    std::memcpy(frame->data[0], samples + done * 2, count * 2 * sizeof(float));
    frame->pts = static_cast<int64_t>(done);
    Check(avcodec_send_frame(encoder.get(), frame.get()), path, "encoding failed");
    DrainEncoder(encoder.get(), packet.get(), path, mux);
  }
  Check(avcodec_send_frame(encoder.get(), nullptr), path, "encoding failed");
  DrainEncoder(encoder.get(), packet.get(), path, mux);
  Check(av_write_trailer(output.get()), path, "write error");
}
