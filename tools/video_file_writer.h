// Writer of video files through libavformat and libavcodec's encoders, for the
// demo-game generator and the tests: MPEG-1 system streams (mpeg1video and mp2,
// as the game's MPEG videos), AVI files (MPEG-4 video, pcm sound) and lossless
// files (ffv1 in NUT, pcm sound) whose colours come back exactly. Header-only,
// like the other writers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswscale/swscale.h>
}

struct Video_File {
  enum class Kind { Mpeg, Lossless, Avi } kind = Kind::Lossless;
  int width = 64, height = 48;
  int fps = 15;
  std::vector<std::vector<uint8_t>> frames;  // R, G, B bytes, rows top to bottom
  int sound_rate = 0;                         // 0: no sound
  bool stereo = true;
  std::vector<int16_t> samples;               // interleaved when stereo
};

namespace video_writer {

struct Encoder {
  AVCodecContext* context = nullptr;
  AVStream* stream = nullptr;
  ~Encoder() { avcodec_free_context(&context); }
};

inline bool drain(AVFormatContext* out, Encoder& e, AVFrame* frame) {
  if (avcodec_send_frame(e.context, frame) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  while (avcodec_receive_packet(e.context, packet) == 0) {
    av_packet_rescale_ts(packet, e.context->time_base, e.stream->time_base);
    packet->stream_index = e.stream->index;
    av_interleaved_write_frame(out, packet);
  }
  av_packet_free(&packet);
  return true;
}

inline bool open_encoder(AVFormatContext* out, Encoder& e, const char* name, void (*setup)(AVCodecContext*, const void*),
                         const void* user) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr) return false;
  e.stream = avformat_new_stream(out, nullptr);
  e.context = avcodec_alloc_context3(codec);
  if (e.stream == nullptr || e.context == nullptr) return false;
  setup(e.context, user);
  if (out->oformat->flags & AVFMT_GLOBALHEADER) e.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(e.context, codec, nullptr) < 0) return false;
  avcodec_parameters_from_context(e.stream->codecpar, e.context);
  e.stream->time_base = e.context->time_base;
  return true;
}

}  // namespace video_writer

// Writes the file at `path`; false when an encoder or the container is missing.
inline bool Write_Video_File(const std::string& path, const Video_File& v) {
  using namespace video_writer;
  bool mpeg = v.kind == Video_File::Kind::Mpeg;
  bool avi = v.kind == Video_File::Kind::Avi;
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, mpeg ? "mpeg" : avi ? "avi" : "nut", path.c_str()) < 0)
    return false;
  bool ok = true;
  {
    Encoder video, audio;
    ok = open_encoder(out, video, mpeg ? "mpeg1video" : avi ? "mpeg4" : "ffv1",
                      [](AVCodecContext* c, const void* user) {
                        auto* v = static_cast<const Video_File*>(user);
                        c->width = v->width;
                        c->height = v->height;
                        c->time_base = AVRational{1, v->fps};
                        c->framerate = AVRational{v->fps, 1};
                        if (v->kind == Video_File::Kind::Mpeg) {
                          c->pix_fmt = AV_PIX_FMT_YUV420P;
                          c->bit_rate = 2000000;
                          c->gop_size = 6;
                          c->max_b_frames = 2;
                        } else if (v->kind == Video_File::Kind::Avi) {
                          c->pix_fmt = AV_PIX_FMT_YUV420P;
                          c->bit_rate = 2000000;
                          c->gop_size = 12;
                        } else {
                          c->pix_fmt = AV_PIX_FMT_BGR0;
                        }
                      },
                      &v);
    if (ok && v.sound_rate > 0) {
      ok = open_encoder(out, audio, mpeg ? "mp2" : "pcm_s16le",
                        [](AVCodecContext* c, const void* user) {
                          auto* v = static_cast<const Video_File*>(user);
                          c->sample_rate = v->sound_rate;
                          c->sample_fmt = AV_SAMPLE_FMT_S16;
                          av_channel_layout_default(&c->ch_layout, v->stereo ? 2 : 1);
                          c->time_base = AVRational{1, v->sound_rate};
                          c->bit_rate = 128000;
                        },
                        &v);
    }
    if (ok && !(out->oformat->flags & AVFMT_NOFILE)) ok = avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    if (ok) ok = avformat_write_header(out, nullptr) >= 0;
    if (ok) {
      AVFrame* frame = av_frame_alloc();
      frame->format = video.context->pix_fmt;
      frame->width = v.width;
      frame->height = v.height;
      av_frame_get_buffer(frame, 0);
      SwsContext* sws = sws_getContext(v.width, v.height, AV_PIX_FMT_RGB24, v.width, v.height, video.context->pix_fmt,
                                       SWS_POINT, nullptr, nullptr, nullptr);
      for (size_t i = 0; i < v.frames.size(); ++i) {
        av_frame_make_writable(frame);
        const uint8_t* planes[1] = {v.frames[i].data()};
        int stride[1] = {v.width * 3};
        sws_scale(sws, planes, stride, 0, v.height, frame->data, frame->linesize);
        frame->pts = static_cast<int64_t>(i);
        drain(out, video, frame);
      }
      sws_freeContext(sws);
      drain(out, video, nullptr);
      av_frame_free(&frame);

      if (audio.context != nullptr) {
        int channels = v.stereo ? 2 : 1;
        int chunk = audio.context->frame_size > 0 ? audio.context->frame_size : 1024;
        size_t total = v.samples.size() / static_cast<size_t>(channels);
        for (size_t at = 0; at < total; at += static_cast<size_t>(chunk)) {
          AVFrame* a = av_frame_alloc();
          a->format = AV_SAMPLE_FMT_S16;
          av_channel_layout_copy(&a->ch_layout, &audio.context->ch_layout);
          a->sample_rate = v.sound_rate;
          a->nb_samples = chunk;
          av_frame_get_buffer(a, 0);
          auto* dst = reinterpret_cast<int16_t*>(a->data[0]);
          for (int s = 0; s < chunk * channels; ++s) {
            size_t index = at * static_cast<size_t>(channels) + static_cast<size_t>(s);
            dst[s] = index < v.samples.size() ? v.samples[index] : 0;
          }
          a->pts = static_cast<int64_t>(at);
          drain(out, audio, a);
          av_frame_free(&a);
        }
        drain(out, audio, nullptr);
      }
      av_write_trailer(out);
    }
  }
  if (out->pb != nullptr && !(out->oformat->flags & AVFMT_NOFILE)) avio_closep(&out->pb);
  avformat_free_context(out);
  return ok;
}
