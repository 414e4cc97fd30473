// The movie operations over libavformat, libavcodec, libswscale and
// libswresample.
//
// Opening reads the file once from start to end: it counts the video packets
// (the frame count the callers rely on) and decodes the whole sound track into
// one 16-bit record. A second pass over the file then decodes the pictures, one
// frame each time the current frame is wanted. Pictures are converted to 8-bit
// R, G, B by swscale and packed to 5-6-5 (or 5-5-5) with the engine's own rule,
// so colours come out exactly as for every other picture of the engine.
#include "smack/smack.h"

#include <cstring>
#include <vector>

#include "files/file.h"
#include "pictures/picture.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "sound/sound.h"

#ifdef OSTERLIN_HAVE_FFMPEG
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#endif

namespace {

struct Smack_State {
  bool sound_to_mixer = false;  // movies opened from now on play their sound
};
Smack_State state;

// Movies larger than this are refused; sound beyond this many bytes is dropped.
constexpr int Max_Side = 4096;
constexpr size_t Max_Sound_Bytes = 48u << 20;
// A run of this many packets without a picture ends decoding (damaged files).
constexpr int Max_Packets_Without_Frame = 4096;

}  // namespace

#ifdef OSTERLIN_HAVE_FFMPEG

namespace {

// A demultiplexer reading one file slot through the file layer (so memory files
// and case-insensitive names work), with a position and bounds of its own. The
// file layer keeps a slot's end-of-file failure until the slot is closed, which
// is right for the game's reads but not for a demultiplexer that probes the end
// of a file and then seeks back: reads here are cut at the file's size, so the
// slot never reads past its end and its error never sets.
struct Input {
  int slot = -1;
  int64_t size = 0;
  int64_t position = 0;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
};

int read_slot(void* opaque, uint8_t* buffer, int size) {
  auto* in = static_cast<Input*>(opaque);
  int64_t left = in->size - in->position;
  if (left <= 0 || size <= 0) return AVERROR_EOF;
  int wanted = left < size ? static_cast<int>(left) : size;
  int n = File_Read(in->slot, buffer, wanted);
  // Nothing although the file should hold more: it changed under us.
  if (n <= 0) return AVERROR_EOF;
  in->position += n;
  return n;
}

int64_t seek_slot(void* opaque, int64_t offset, int whence) {
  auto* in = static_cast<Input*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return in->size;
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? in->position : whence == SEEK_END ? in->size : -1;
  if (base < 0) return -1;
  int64_t target = base + offset;
  if (target < 0 || target > in->size) return -1;
  File_Seek(in->slot, static_cast<int>(target), 0);
  if (File_Error() != 0) return -1;
  in->position = target;
  return target;
}

void close_input(Input& in) {
  if (in.format != nullptr) avformat_close_input(&in.format);
  if (in.io != nullptr) {
    av_freep(&in.io->buffer);
    avio_context_free(&in.io);
  }
  if (in.slot >= 0) File_Close(in.slot);
  in.slot = -1;
}

bool open_input(const char* name, Input& in) {
  int size = File_Size(name);
  if (size <= 0) return false;
  File_Open(name, &in.slot, 1);
  if (File_Error() != 0 || in.slot < 0) {
    in.slot = -1;
    return false;
  }
  in.size = size;
  in.position = 0;
  constexpr int Buffer_Size = 32768;
  auto* buffer = static_cast<unsigned char*>(av_malloc(Buffer_Size));
  in.io = avio_alloc_context(buffer, Buffer_Size, 0, &in, read_slot, nullptr, seek_slot);
  in.format = avformat_alloc_context();
  if (in.io == nullptr || in.format == nullptr) {
    if (in.io == nullptr) av_free(buffer);
    close_input(in);
    return false;
  }
  in.format->pb = in.io;
  if (avformat_open_input(&in.format, name, nullptr, nullptr) < 0) {
    in.format = nullptr;  // freed by the failed open
    close_input(in);
    return false;
  }
  if (avformat_find_stream_info(in.format, nullptr) < 0) {
    close_input(in);
    return false;
  }
  return true;
}

AVCodecContext* open_decoder(AVFormatContext* format, AVMediaType type, int* stream) {
  const AVCodec* codec = nullptr;
  int index = av_find_best_stream(format, type, -1, -1, &codec, 0);
  if (index < 0 || codec == nullptr) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (context == nullptr) return nullptr;
  if (avcodec_parameters_to_context(context, format->streams[index]->codecpar) < 0 ||
      avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return nullptr;
  }
  *stream = index;
  return context;
}

// Decodes the whole sound track into 16-bit samples at the track's rate.
class Sound_Collector {
 public:
  ~Sound_Collector() {
    swr_free(&resampler_);
    av_frame_free(&frame_);
  }
  bool start(AVCodecContext* audio) {
    audio_ = audio;
    int channels = audio->ch_layout.nb_channels;
    if (channels < 1 || audio->sample_rate < 1000 || audio->sample_rate > 192000) return false;
    stereo_ = channels >= 2;
    rate_ = audio->sample_rate;
    AVChannelLayout out_layout;
    av_channel_layout_default(&out_layout, stereo_ ? 2 : 1);
    if (swr_alloc_set_opts2(&resampler_, &out_layout, AV_SAMPLE_FMT_S16, rate_, &audio->ch_layout,
                            audio->sample_fmt, audio->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler_) < 0)
      return false;
    frame_ = av_frame_alloc();
    return frame_ != nullptr;
  }
  void feed(const AVPacket* packet) {
    if (avcodec_send_packet(audio_, packet) < 0) return;
    while (avcodec_receive_frame(audio_, frame_) == 0) {
      int room = swr_get_out_samples(resampler_, frame_->nb_samples);
      if (room <= 0) continue;
      size_t frame_bytes = stereo_ ? 4 : 2;
      if (samples_.size() + static_cast<size_t>(room) * frame_bytes > Max_Sound_Bytes) continue;
      size_t old = samples_.size();
      samples_.resize(old + static_cast<size_t>(room) * frame_bytes);
      uint8_t* out = samples_.data() + old;
      int got = swr_convert(resampler_, &out, room, const_cast<const uint8_t**>(frame_->extended_data),
                            frame_->nb_samples);
      samples_.resize(old + static_cast<size_t>(got > 0 ? got : 0) * frame_bytes);
    }
  }
  Sound* finish() {
    feed(nullptr);
    if (samples_.empty()) return nullptr;
    Sound* sound = Sound_Create("movie", static_cast<uint32_t>(rate_), 16, stereo_ ? 1 : 0,
                                static_cast<uint32_t>(samples_.size()));
    std::memcpy(sound->data, samples_.data(), samples_.size());
    return sound;
  }

 private:
  AVCodecContext* audio_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::vector<uint8_t> samples_;
  bool stereo_ = false;
  int rate_ = 0;
};

}  // namespace

struct Smack_Decoder {
  Input input;
  AVCodecContext* video = nullptr;
  int video_stream = -1;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* scaler = nullptr;
  bool flushed = false;     // the end of the file was sent to the decoder
  bool have_picture = false;
  uint32_t decoded = 0;     // pictures received so far
  std::vector<uint8_t> rgb;  // the converted picture, 3 bytes a pixel
  int rgb_width = 0, rgb_height = 0;
  int scale_width = 0, scale_height = 0;
  // Destination.
  uint8_t* buffer = nullptr;
  uint32_t left = 0, top = 0, pitch = 0, rows = 0, format = Smack_Format_565;
  // Pacing and sound.
  bool started = false;
  uint64_t base = 0;
  uint64_t period = 0;  // counter units per frame
  Sound* sound = nullptr;
  int sound_handle = 0;  // the movie's own buffer in the mixer, while it exists
};

namespace {

void free_decoder(Smack_Decoder* d) {
  Sound_Release_Owned(d->sound_handle);
  Sound_Free(d->sound);
  sws_freeContext(d->scaler);
  av_frame_free(&d->frame);
  av_packet_free(&d->packet);
  avcodec_free_context(&d->video);
  close_input(d->input);
  delete d;
}

// First pass: video packets counted, sound decoded.
bool scan_file(const char* name, uint32_t* frames, Sound** sound) {
  Input in;
  if (!open_input(name, in)) return false;
  int video_stream = av_find_best_stream(in.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int audio_stream = -1;
  AVCodecContext* audio = nullptr;
  Sound_Collector collector;
  if (video_stream >= 0 && state.sound_to_mixer) {
    audio = open_decoder(in.format, AVMEDIA_TYPE_AUDIO, &audio_stream);
    if (audio != nullptr && !collector.start(audio)) avcodec_free_context(&audio);
  }
  AVPacket* packet = av_packet_alloc();
  uint64_t count = 0;
  while (video_stream >= 0 && packet != nullptr && av_read_frame(in.format, packet) >= 0) {
    if (packet->stream_index == video_stream) {
      ++count;
    } else if (audio != nullptr && packet->stream_index == audio_stream) {
      collector.feed(packet);
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (audio != nullptr) *sound = collector.finish();
  avcodec_free_context(&audio);
  close_input(in);
  *frames = count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<uint32_t>(count);
  return count > 0;
}

// Receives the next picture from the decoder, reading packets as needed.
bool decode_next(Smack_Decoder* d) {
  int without_frame = 0;
  while (true) {
    int r = avcodec_receive_frame(d->video, d->frame);
    if (r == 0) {
      ++d->decoded;
      return true;
    }
    if (r == AVERROR_EOF || d->flushed) return false;
    if (r != AVERROR(EAGAIN) || ++without_frame > Max_Packets_Without_Frame) return false;
    if (av_read_frame(d->input.format, d->packet) < 0) {
      avcodec_send_packet(d->video, nullptr);
      d->flushed = true;
      continue;
    }
    // A damaged packet is skipped; the decoder carries on with the next one.
    if (d->packet->stream_index == d->video_stream) avcodec_send_packet(d->video, d->packet);
    av_packet_unref(d->packet);
  }
}

bool convert_picture(Smack_Decoder* d) {
  AVFrame* f = d->frame;
  if (f->width < 1 || f->height < 1 || f->width > Max_Side || f->height > Max_Side) return false;
  int width = d->scale_width > 0 ? d->scale_width : f->width;
  int height = d->scale_height > 0 ? d->scale_height : f->height;
  d->scaler = sws_getCachedContext(d->scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), width,
                                   height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (d->scaler == nullptr) return false;
  d->rgb.resize(static_cast<size_t>(width) * height * 3);
  uint8_t* planes[4] = {d->rgb.data(), nullptr, nullptr, nullptr};
  int strides[4] = {width * 3, 0, 0, 0};
  if (sws_scale(d->scaler, f->data, f->linesize, 0, f->height, planes, strides) != height) return false;
  d->rgb_width = width;
  d->rgb_height = height;
  return true;
}

void write_picture(Smack_Decoder* d) {
  if (d->buffer == nullptr || d->pitch < 2) return;
  uint32_t columns = d->pitch / 2;
  bool is_555 = d->format == Smack_Format_555;
  for (int y = 0; y < d->rgb_height; ++y) {
    uint64_t row = static_cast<uint64_t>(d->top) + y;
    if (row >= d->rows) break;
    auto* out = reinterpret_cast<uint16_t*>(d->buffer + row * d->pitch);
    const uint8_t* in = d->rgb.data() + static_cast<size_t>(y) * d->rgb_width * 3;
    for (int x = 0; x < d->rgb_width; ++x, in += 3) {
      uint64_t column = static_cast<uint64_t>(d->left) + x;
      if (column >= columns) break;
      out[column] = is_555 ? Rgb_To_555(in[0], in[1], in[2]) : Rgb_To_565(in[0], in[1], in[2]);
    }
  }
}

}  // namespace

Smack* SmackOpen(const char* name, uint32_t /*flags*/, uint32_t /*extra_buffers*/) {
  if (name == nullptr || name[0] == 0) return nullptr;
  av_log_set_level(AV_LOG_QUIET);
  uint32_t frames = 0;
  Sound* sound = nullptr;
  if (!scan_file(name, &frames, &sound)) {
    Sound_Free(sound);
    return nullptr;
  }
  auto* d = new Smack_Decoder;
  d->sound = sound;
  if (!open_input(name, d->input)) {
    free_decoder(d);
    return nullptr;
  }
  d->video = open_decoder(d->input.format, AVMEDIA_TYPE_VIDEO, &d->video_stream);
  d->packet = av_packet_alloc();
  d->frame = av_frame_alloc();
  if (d->video == nullptr || d->packet == nullptr || d->frame == nullptr || d->video->width < 1 ||
      d->video->height < 1 || d->video->width > Max_Side || d->video->height > Max_Side) {
    free_decoder(d);
    return nullptr;
  }
  AVStream* stream = d->input.format->streams[d->video_stream];
  AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0 ? stream->avg_frame_rate
                                                                                      : stream->r_frame_rate;
  // Rates outside 1 to 1000 frames per second are not believed.
  if (rate.num <= 0 || rate.den <= 0 || rate.num > 1000LL * rate.den || rate.num < rate.den) rate = AVRational{15, 1};

  auto* smack = static_cast<Smack*>(Mem_Alloc_Zero(sizeof(Smack)));
  smack->Frames = frames;
  smack->FrameNum = 0;
  smack->Width = d->video->width;
  smack->Height = d->video->height;
  smack->Rate_Num = static_cast<uint32_t>(rate.num);
  smack->Rate_Den = static_cast<uint32_t>(rate.den);
  smack->decoder = d;
  d->period = Counter_Frequency() * static_cast<uint64_t>(rate.den) / static_cast<uint64_t>(rate.num);
  return smack;
}

int SmackDoFrame(Smack* smack) {
  if (smack == nullptr) return -1;
  Smack_Decoder* d = smack->decoder;
  if (!d->started) {
    d->started = true;
    d->base = Counter_Now();
    // The sound is the movie's own buffer, outside the scene's channels, so
    // that closing the movie (also before its end) silences it.
    if (d->sound != nullptr) {
      int handle = Sound_Play_Owned(d->sound, 255, 0);
      d->sound_handle = handle > 0 ? handle : 0;
    }
  }
  bool fresh = false;
  while (d->decoded <= smack->FrameNum && decode_next(d)) fresh = true;
  if (fresh) d->have_picture = convert_picture(d);
  if (!d->have_picture) return -1;
  write_picture(d);
  return 0;
}

#else  // without FFmpeg no movie can be opened

struct Smack_Decoder {};
Smack* SmackOpen(const char*, uint32_t, uint32_t) { return nullptr; }
int SmackDoFrame(Smack*) { return -1; }
namespace {
void free_decoder(Smack_Decoder* d) { delete d; }
}  // namespace

#endif

void SmackSoundUseDirectSound(bool use_mixer) { state.sound_to_mixer = use_mixer; }

void Smack_State_Reset() { state = Smack_State{}; }

uint32_t SmackDDSurfaceType(int display_bits_per_pixel) {
  return display_bits_per_pixel == 15 ? Smack_Format_555 : Smack_Format_565;
}

void SmackToBuffer(Smack* smack, uint32_t left, uint32_t top, uint32_t pitch, uint32_t height, void* buffer,
                   uint32_t format) {
  if (smack == nullptr) return;
#ifdef OSTERLIN_HAVE_FFMPEG
  Smack_Decoder* d = smack->decoder;
  d->left = left;
  d->top = top;
  d->pitch = pitch;
  d->rows = height;
  d->buffer = static_cast<uint8_t*>(buffer);
  d->format = format;
#else
  (void)left, (void)top, (void)pitch, (void)height, (void)buffer, (void)format;
#endif
}

void SmackNextFrame(Smack* smack) {
  if (smack != nullptr && smack->FrameNum + 1 < smack->Frames) ++smack->FrameNum;
}

int SmackWait(Smack* smack) {
  if (smack == nullptr) return 0;
#ifdef OSTERLIN_HAVE_FFMPEG
  Smack_Decoder* d = smack->decoder;
  if (!d->started) return 0;
  return Counter_Now() < d->base + d->period * smack->FrameNum ? 1 : 0;
#else
  return 0;
#endif
}

void SmackClose(Smack* smack) {
  if (smack == nullptr) return;
  free_decoder(smack->decoder);
  Mem_Free(smack);
}

const Sound* Smack_Sound(const Smack* smack) {
#ifdef OSTERLIN_HAVE_FFMPEG
  return smack != nullptr ? smack->decoder->sound : nullptr;
#else
  (void)smack;
  return nullptr;
#endif
}

void Smack_Scale_To(Smack* smack, int width, int height) {
  if (smack == nullptr) return;
#ifdef OSTERLIN_HAVE_FFMPEG
  if (width < 1 || height < 1 || width > Max_Side || height > Max_Side) width = height = 0;
  smack->decoder->scale_width = width;
  smack->decoder->scale_height = height;
  if (width > 0) {
    smack->Width = width;
    smack->Height = height;
  }
#else
  (void)width, (void)height;
#endif
}
