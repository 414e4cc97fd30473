// import sound: any audio FFmpeg reads into a 16-bit PCM WAV, converted by
// libswresample to 22050 or 44100 Hz, mono or stereo.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include "cmd_import.h"
#include "tool.h"

namespace {

// A WAV's data size is 32 bits; stay well inside it.
constexpr size_t Max_Pcm_Bytes = size_t{1} << 31;

struct Decoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  ~Decoder() {
    swr_free(&resampler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

struct Conversion {
  int rate = 0;      // 0: chosen from the source
  int channels = 0;  // 0: chosen from the source
  std::vector<uint8_t> pcm;  // interleaved 16-bit little-endian samples
  std::string error;
};

std::string av_text(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, text, sizeof text);
  return text;
}

// Sets up the resampler from the first decoded frame (its own layout and rate).
bool start_resampler(Decoder& d, Conversion& c) {
  AVChannelLayout in_layout;
  if (d.frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || d.frame->ch_layout.nb_channels <= 0) {
    av_channel_layout_default(&in_layout, d.frame->ch_layout.nb_channels > 0 ? d.frame->ch_layout.nb_channels : 1);
  } else if (av_channel_layout_copy(&in_layout, &d.frame->ch_layout) < 0) {
    c.error = "cannot read the channel layout";
    return false;
  }
  const int in_rate = d.frame->sample_rate > 0 ? d.frame->sample_rate : d.codec->sample_rate;
  if (in_rate <= 0) {
    av_channel_layout_uninit(&in_layout);
    c.error = "the sound has no sample rate";
    return false;
  }
  if (c.rate == 0) c.rate = in_rate == 44100 || in_rate > 33075 ? 44100 : 22050;
  if (c.channels == 0) c.channels = in_layout.nb_channels >= 2 ? 2 : 1;
  AVChannelLayout out_layout;
  av_channel_layout_default(&out_layout, c.channels);
  int status = swr_alloc_set_opts2(&d.resampler, &out_layout, AV_SAMPLE_FMT_S16, c.rate, &in_layout,
                                   static_cast<AVSampleFormat>(d.frame->format), in_rate, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  av_channel_layout_uninit(&out_layout);
  if (status < 0 || swr_init(d.resampler) < 0) {
    c.error = "cannot convert this sound's samples";
    return false;
  }
  return true;
}

// Converts `frame` (null: flushes the resampler) and appends the samples.
bool convert(Decoder& d, const AVFrame* frame, Conversion& c) {
  const int in_samples = frame ? frame->nb_samples : 0;
  const int room = swr_get_out_samples(d.resampler, in_samples);
  if (room < 0) return false;
  if (room == 0) return true;
  const size_t frame_bytes = static_cast<size_t>(c.channels) * 2;
  const size_t old = c.pcm.size();
  if (old + static_cast<size_t>(room) * frame_bytes > Max_Pcm_Bytes) {
    c.error = "the converted sound would be larger than a WAV file can hold";
    return false;
  }
  c.pcm.resize(old + static_cast<size_t>(room) * frame_bytes);
  uint8_t* out = c.pcm.data() + old;
  const int got = swr_convert(d.resampler, &out, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                              in_samples);
  if (got < 0) {
    c.error = "sample conversion failed: " + av_text(got);
    return false;
  }
  c.pcm.resize(old + static_cast<size_t>(got) * frame_bytes);
  return true;
}

// Takes every frame the decoder has ready.
bool drain(Decoder& d, Conversion& c) {
  for (;;) {
    int status = avcodec_receive_frame(d.codec, d.frame);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
    if (status < 0) {
      c.error = "damaged sound data: " + av_text(status);
      return false;
    }
    bool ok = (d.resampler != nullptr || start_resampler(d, c)) && convert(d, d.frame, c);
    av_frame_unref(d.frame);
    if (!ok) return false;
  }
}

bool decode(const std::string& path, Conversion& c) {
  Decoder d;
  // "file:" keeps a name such as "concat:..." or "http://..." a plain file name.
  int status = avformat_open_input(&d.format, ("file:" + path).c_str(), nullptr, nullptr);
  if (status < 0) {
    c.error = "cannot read " + path + " as a sound (" + av_text(status) + ")";
    return false;
  }
  if (avformat_find_stream_info(d.format, nullptr) < 0) {
    c.error = path + ": cannot find its streams";
    return false;
  }
  const AVCodec* codec = nullptr;
  const int stream = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream < 0 || codec == nullptr) {
    c.error = path + " holds no sound FFmpeg can decode";
    return false;
  }
  d.codec = avcodec_alloc_context3(codec);
  d.packet = av_packet_alloc();
  d.frame = av_frame_alloc();
  if (!d.codec || !d.packet || !d.frame ||
      avcodec_parameters_to_context(d.codec, d.format->streams[stream]->codecpar) < 0 ||
      avcodec_open2(d.codec, codec, nullptr) < 0) {
    c.error = path + ": cannot open its sound decoder";
    return false;
  }
  const AVStream* s = d.format->streams[stream];
  const double duration = s->duration > 0 ? static_cast<double>(s->duration) : 0.0;
  Import_Progress progress("sound");
  while (av_read_frame(d.format, d.packet) >= 0) {
    if (d.packet->stream_index == stream) {
      if (duration > 0 && d.packet->pts != AV_NOPTS_VALUE) progress.update(static_cast<double>(d.packet->pts) / duration);
      status = avcodec_send_packet(d.codec, d.packet);
      // A damaged packet is skipped, as players do; the rest still converts.
      if (status < 0 && status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA) {
        av_packet_unref(d.packet);
        c.error = path + ": damaged sound data (" + av_text(status) + ")";
        return false;
      }
    }
    av_packet_unref(d.packet);
    if (!drain(d, c)) return false;
  }
  avcodec_send_packet(d.codec, nullptr);
  if (!drain(d, c)) return false;
  if (d.resampler == nullptr) {
    c.error = path + " holds no sound samples";
    return false;
  }
  if (!convert(d, nullptr, c)) return false;
  progress.finish();
  return true;
}

void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> wav_file(const Conversion& c) {
  std::vector<uint8_t> out;
  const uint32_t data_size = static_cast<uint32_t>(c.pcm.size());
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put32(out, 36 + data_size);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, static_cast<unsigned>(c.channels));
  put32(out, static_cast<uint32_t>(c.rate));
  put32(out, static_cast<uint32_t>(c.rate * c.channels * 2));
  put16(out, static_cast<unsigned>(c.channels * 2));
  put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(out, data_size);
  out.insert(out.end(), c.pcm.begin(), c.pcm.end());
  return out;
}

}  // namespace

int Import_Sound(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  Conversion c;
  std::string rate;
  if (Tool_Take_Option(args, "--rate", rate)) {
    if (rate != "22050" && rate != "44100") return Tool_Fail("the rate is 22050 or 44100, not '" + rate + "'");
    c.rate = std::stoi(rate);
  }
  if (Tool_Take_Flag(args, "--mono")) c.channels = 1;
  if (args.size() != 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0) {
    return Tool_Usage_Error("import", "import sound takes IN and OUT.WAV");
  }
  if (!Import_Has_Extension(args[1], ".wav")) return Tool_Fail("the sound goes into a .WAV file, not " + args[1]);
  av_log_set_level(AV_LOG_QUIET);
  if (!decode(args[0], c)) return Tool_Fail(c.error);
  std::vector<uint8_t> file = wav_file(c);
  if (!Tool_Write_File(args[1], file.data(), file.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}
