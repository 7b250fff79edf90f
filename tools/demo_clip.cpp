#include "tools/demo_clip.h"

#include <cmath>

#include "footage/av_owners.h"
#include "tools/tool_session.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

struct OutputClose {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputClose>;

void Check(int ret, const char* what) {
  if (ret < 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(ret, reason, sizeof reason);
    throw ToolError(std::string("cannot make the demo clip: ") + what + ": " + reason);
  }
}

// One encoder feeding one stream of the muxer.
struct Track {
  CodecContextPtr encoder;
  AVStream* stream = nullptr;

  void Send(AVFormatContext* output, const AVFrame* frame, AVPacket* packet) {
    Check(avcodec_send_frame(encoder.get(), frame), "encoding");
    while (true) {
      const int ret = avcodec_receive_packet(encoder.get(), packet);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
      Check(ret, "encoding");
      av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      Check(av_interleaved_write_frame(output, packet), "writing");
    }
  }
};

Track OpenTrack(AVFormatContext* output, const AVCodec* codec,
                void (*configure)(AVCodecContext*, const DemoClipShape&),
                const DemoClipShape& shape) {
  Track track;
  track.encoder.reset(avcodec_alloc_context3(codec));
  if (!track.encoder) throw std::bad_alloc();
  configure(track.encoder.get(), shape);
  if (output->oformat->flags & AVFMT_GLOBALHEADER) {
    track.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  Check(avcodec_open2(track.encoder.get(), codec, nullptr), "opening an encoder");
  track.stream = avformat_new_stream(output, nullptr);
  if (track.stream == nullptr) throw std::bad_alloc();
  Check(avcodec_parameters_from_context(track.stream->codecpar, track.encoder.get()),
        "stream parameters");
  track.stream->time_base = track.encoder->time_base;
  return track;
}

void ConfigureVideo(AVCodecContext* c, const DemoClipShape& shape) {
  c->width = shape.width;
  c->height = shape.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, shape.fps};
  c->framerate = AVRational{shape.fps, 1};
  c->gop_size = shape.fps * 2;
  c->max_b_frames = 2;
  c->bit_rate = 2000000;
  c->colorspace = AVCOL_SPC_BT470BG;  // SD-sized picture: say BT.601 outright
  c->color_range = AVCOL_RANGE_MPEG;
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
}

void ConfigureAudio(AVCodecContext* c, const DemoClipShape& shape) {
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = shape.sample_rate;
  av_channel_layout_default(&c->ch_layout, 2);
  c->time_base = AVRational{1, shape.sample_rate};
  c->bit_rate = 192000;
}

// Moving colour bands with a white square crossing the picture: each frame
// looks different, so a wrong frame shows on the contact sheet.
void PaintPicture(AVFrame* frame, int index, const DemoClipShape& shape) {
  const int square = shape.height / 4;
  const int square_x = (shape.width - square) * index / (shape.fps * shape.seconds - 1);
  const int square_y = (shape.height - square) / 2;
  for (int y = 0; y < shape.height; ++y) {
    uint8_t* luma = frame->data[0] + y * frame->linesize[0];
    for (int x = 0; x < shape.width; ++x) {
      const bool in_square =
          x >= square_x && x < square_x + square && y >= square_y && y < square_y + square;
      luma[x] = in_square ? 235 : static_cast<uint8_t>(40 + ((x + 3 * index) % 160));
    }
  }
  for (int y = 0; y < shape.height / 2; ++y) {
    uint8_t* cb = frame->data[1] + y * frame->linesize[1];
    uint8_t* cr = frame->data[2] + y * frame->linesize[2];
    for (int x = 0; x < shape.width / 2; ++x) {
      const bool in_square = 2 * x >= square_x && 2 * x < square_x + square &&
                             2 * y >= square_y && 2 * y < square_y + square;
      cb[x] = in_square ? 128 : static_cast<uint8_t>(128 + 60 * std::sin((x + index * 4) / 40.0));
      cr[x] = in_square ? 128 : static_cast<uint8_t>(128 + 60 * std::cos((y + index * 2) / 30.0));
    }
  }
}

// 440 Hz left, 660 Hz right, with a short beep at every whole second.
void FillSound(AVFrame* frame, int64_t first_sample, int rate) {
  auto* left = reinterpret_cast<float*>(frame->data[0]);
  auto* right = reinterpret_cast<float*>(frame->data[1]);
  for (int i = 0; i < frame->nb_samples; ++i) {
    const double t = static_cast<double>(first_sample + i) / rate;
    const double beep = std::fmod(t, 1.0) < 0.1 ? 0.3 * std::sin(2 * M_PI * 1760 * t) : 0.0;
    left[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 440 * t) + beep);
    right[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 660 * t) + beep);
  }
}

}  // namespace

void MakeDemoClip(const std::string& path, const DemoClipShape& shape) {
  AVFormatContext* raw_output = nullptr;
  Check(avformat_alloc_output_context2(&raw_output, nullptr, "matroska", path.c_str()),
        "no Matroska muxer");
  OutputPtr output(raw_output);
  const AVCodec* video_codec = avcodec_find_encoder_by_name("libx264");
  if (video_codec == nullptr) video_codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  const AVCodec* audio_codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (video_codec == nullptr || audio_codec == nullptr) {
    throw ToolError("cannot make the demo clip: this FFmpeg build has no suitable encoders");
  }
  Track video = OpenTrack(output.get(), video_codec, ConfigureVideo, shape);
  Track audio = OpenTrack(output.get(), audio_codec, ConfigureAudio, shape);
  Check(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), "creating the file");
  Check(avformat_write_header(output.get(), nullptr), "writing the header");

  FramePtr picture(av_frame_alloc());
  FramePtr sound(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!picture || !sound || !packet) throw std::bad_alloc();
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = shape.width;
  picture->height = shape.height;
  Check(av_frame_get_buffer(picture.get(), 0), "allocating a picture");
  const int sound_frame = audio.encoder->frame_size > 0 ? audio.encoder->frame_size : 1024;

  const int frames = shape.fps * shape.seconds;
  const int64_t total_samples = static_cast<int64_t>(shape.sample_rate) * shape.seconds;
  int64_t samples_done = 0;
  for (int i = 0; i < frames; ++i) {
    Check(av_frame_make_writable(picture.get()), "allocating a picture");
    PaintPicture(picture.get(), i, shape);
    picture->pts = i;
    video.Send(output.get(), picture.get(), packet.get());
    // Sound up to the end of this picture, so the muxer interleaves evenly.
    const int64_t sound_until = std::min(total_samples, (i + 1) * total_samples / frames);
    while (samples_done < sound_until) {
      av_frame_unref(sound.get());
      sound->format = AV_SAMPLE_FMT_FLTP;
      sound->sample_rate = shape.sample_rate;
      sound->nb_samples = static_cast<int>(std::min<int64_t>(sound_frame, total_samples - samples_done));
      Check(av_channel_layout_copy(&sound->ch_layout, &audio.encoder->ch_layout), "layout");
      Check(av_frame_get_buffer(sound.get(), 0), "allocating sound");
      FillSound(sound.get(), samples_done, shape.sample_rate);
      sound->pts = samples_done;
      audio.Send(output.get(), sound.get(), packet.get());
      samples_done += sound->nb_samples;
    }
  }
  video.Send(output.get(), nullptr, packet.get());
  audio.Send(output.get(), nullptr, packet.get());
  Check(av_write_trailer(output.get()), "finishing the file");
}
