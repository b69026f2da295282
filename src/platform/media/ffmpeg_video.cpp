#include "platform/video_decode.h"

#include <algorithm>

#ifdef KV_HAVE_FFMPEG
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>

#include "platform/audio_out.h"
#include "platform/library_open.h"
#endif

namespace kv::plat {

#ifdef KV_HAVE_FFMPEG

namespace {

// FFmpeg is opened on the first video, not at start: its five libraries bring over a hundred codec, network and
// hardware libraries whose loading and symbol binding would cost every run (most runs show no video). The
// versions are those of the headers the build used.
#define KV_AV_NAME(lib, major) "lib" #lib ".so." KV_AV_STR(major)
#define KV_AV_STR(major) #major

#define KV_AVUTIL_FUNCTIONS(X) X(av_frame_alloc) X(av_frame_free) X(av_frame_unref) X(av_log_set_level)
#define KV_SWRESAMPLE_FUNCTIONS(X) \
  X(swr_alloc_set_opts2) X(swr_init) X(swr_get_out_samples) X(swr_convert) X(swr_free)
#define KV_SWSCALE_FUNCTIONS(X) X(sws_getCachedContext) X(sws_scale) X(sws_freeContext)
#define KV_AVCODEC_FUNCTIONS(X)                                                                                \
  X(avcodec_alloc_context3) X(avcodec_parameters_to_context) X(avcodec_open2) X(avcodec_receive_frame)       \
  X(avcodec_send_packet) X(avcodec_flush_buffers) X(avcodec_free_context) X(av_packet_alloc) X(av_packet_free) \
  X(av_packet_unref)
#define KV_AVFORMAT_FUNCTIONS(X)                                                                             \
  X(avformat_open_input) X(avformat_find_stream_info) X(av_find_best_stream) X(avformat_close_input)       \
  X(av_read_frame) X(av_seek_frame) X(avformat_seek_file)

struct AvApi {
#define KV_AV_POINTER(name) decltype(&::name) name = nullptr;
  KV_AVUTIL_FUNCTIONS(KV_AV_POINTER)
  KV_SWRESAMPLE_FUNCTIONS(KV_AV_POINTER)
  KV_SWSCALE_FUNCTIONS(KV_AV_POINTER)
  KV_AVCODEC_FUNCTIONS(KV_AV_POINTER)
  KV_AVFORMAT_FUNCTIONS(KV_AV_POINTER)
#undef KV_AV_POINTER
  bool loaded = false;
};

AvApi LoadAv() {
  AvApi api;
  bool all = true;
  // Each library's functions from its own handle; a library that cannot be opened leaves its functions null.
#define KV_AV_RESOLVE(name)                                                   \
  api.name = lib ? reinterpret_cast<decltype(api.name)>(dlsym(lib, #name)) : nullptr; \
  all = all && api.name != nullptr;
#define KV_AV_LIBRARY(file, FUNCTIONS)                   \
  {                                                      \
    void* lib = OpenLibraryOnDemand(file);               \
    FUNCTIONS(KV_AV_RESOLVE)                             \
  }
  KV_AV_LIBRARY(KV_AV_NAME(avutil, LIBAVUTIL_VERSION_MAJOR), KV_AVUTIL_FUNCTIONS)
  KV_AV_LIBRARY(KV_AV_NAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR), KV_SWRESAMPLE_FUNCTIONS)
  KV_AV_LIBRARY(KV_AV_NAME(swscale, LIBSWSCALE_VERSION_MAJOR), KV_SWSCALE_FUNCTIONS)
  KV_AV_LIBRARY(KV_AV_NAME(avcodec, LIBAVCODEC_VERSION_MAJOR), KV_AVCODEC_FUNCTIONS)
  KV_AV_LIBRARY(KV_AV_NAME(avformat, LIBAVFORMAT_VERSION_MAJOR), KV_AVFORMAT_FUNCTIONS)
#undef KV_AV_LIBRARY
#undef KV_AV_RESOLVE
  api.loaded = all;
  if (all) api.av_log_set_level(AV_LOG_ERROR);  // the decoder's notes are no business of the game's log
  return api;
}

// The libraries' functions, opened once; `loaded` false (and no video opens) when any is missing.
const AvApi& Av() {
  static const AvApi api = LoadAv();
  return api;
}

class FfmpegVideo final : public IVideoDecoder {
 public:
  ~FfmpegVideo() override {
    if (scale_) Av().sws_freeContext(scale_);
    Av().av_frame_free(&frame_);
    Av().av_packet_free(&packet_);
    Av().avcodec_free_context(&codec_);
    Av().avformat_close_input(&format_);
  }

  bool Open(const std::string& path) {
    if (Av().avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
    if (Av().avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    stream_ = Av().av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) return false;
    codec_ = Av().avcodec_alloc_context3(decoder);
    if (!codec_ || Av().avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0) return false;
    if (Av().avcodec_open2(codec_, decoder, nullptr) < 0) return false;
    if (codec_->width <= 0 || codec_->height <= 0 || codec_->width > 8192 || codec_->height > 8192) return false;
    frame_ = Av().av_frame_alloc();
    packet_ = Av().av_packet_alloc();
    return frame_ && packet_;
  }

  int Width() const override { return codec_->width; }
  int Height() const override { return codec_->height; }

  double Duration() const override {
    const AVStream* s = format_->streams[stream_];
    if (s->duration > 0) return static_cast<double>(s->duration) * av_q2d(s->time_base);
    if (format_->duration > 0) return static_cast<double>(format_->duration) / AV_TIME_BASE;
    return 0;
  }

  bool NextFrame(std::vector<uint32_t>& pixels, double& seconds) override {
    while (true) {
      const int got = Av().avcodec_receive_frame(codec_, frame_);
      if (got == 0) return Convert(pixels, seconds);
      if (got == AVERROR_EOF) return false;
      if (got != AVERROR(EAGAIN)) return false;
      if (draining_) return false;
      // More input: the next packet of the video stream, or the end (which drains the decoder).
      const int read = Av().av_read_frame(format_, packet_);
      if (read < 0) {
        draining_ = true;
        Av().avcodec_send_packet(codec_, nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) Av().avcodec_send_packet(codec_, packet_);
      Av().av_packet_unref(packet_);
    }
  }

  bool Rewind() override {
    if (Av().av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        Av().avformat_seek_file(format_, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
      return false;
    Av().avcodec_flush_buffers(codec_);
    draining_ = false;
    frameCount_ = 0;
    return true;
  }

 private:
  bool Convert(std::vector<uint32_t>& pixels, double& seconds) {
    const int w = codec_->width, h = codec_->height;
    if (frame_->width != w || frame_->height != h) return false;
    scale_ = Av().sws_getCachedContext(scale_, w, h, static_cast<AVPixelFormat>(frame_->format), w, h, AV_PIX_FMT_BGRA,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scale_) return false;
    pixels.assign(static_cast<size_t>(w) * h, 0);
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    Av().sws_scale(scale_, frame_->data, frame_->linesize, 0, h, planes, strides);
    for (uint32_t& p : pixels) p |= 0xFF000000u;  // BGRA in memory is 0xAARRGGBB on little-endian machines
    const AVStream* s = format_->streams[stream_];
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
      const int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
      seconds = static_cast<double>(pts - start) * av_q2d(s->time_base);
    } else {
      const double rate = av_q2d(s->avg_frame_rate);
      seconds = rate > 0 ? frameCount_ / rate : frameCount_ / 25.0;
    }
    ++frameCount_;
    Av().av_frame_unref(frame_);
    return true;
  }

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scale_ = nullptr;
  int stream_ = -1;
  bool draining_ = false;
  int64_t frameCount_ = 0;
};

}  // namespace

bool VideoDecodingAvailable() { return Av().loaded; }

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A 32-bit float stereo WAV image around the samples.
std::vector<uint8_t> WavOf(const std::vector<float>& samples) {
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * sizeof(float));
  std::vector<uint8_t> out;
  out.reserve(44 + bytes);
  PutTag(out, "RIFF");
  Put32(out, 36 + bytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 3);  // IEEE float
  Put16(out, 2);
  Put32(out, kAudioRate);
  Put32(out, kAudioRate * 8);
  Put16(out, 8);
  Put16(out, 32);
  PutTag(out, "data");
  Put32(out, bytes);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(samples.data());
  out.insert(out.end(), raw, raw + bytes);
  return out;
}

}  // namespace

std::vector<uint8_t> DecodeVideoSound(const std::string& path) {
  if (!Av().loaded) return {};
  constexpr size_t kMaxFrames = static_cast<size_t>(kAudioRate) * 300;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resample = nullptr;
  AVFrame* frame = Av().av_frame_alloc();
  AVPacket* packet = Av().av_packet_alloc();
  std::vector<float> samples;
  bool ok = false;
  do {
    if (!frame || !packet || Av().avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) break;
    if (Av().avformat_find_stream_info(format, nullptr) < 0) break;
    const AVCodec* decoder = nullptr;
    const int stream = Av().av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) break;
    codec = Av().avcodec_alloc_context3(decoder);
    if (!codec || Av().avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0) break;
    if (Av().avcodec_open2(codec, decoder, nullptr) < 0 || codec->sample_rate <= 0) break;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (Av().swr_alloc_set_opts2(&resample, &stereo, AV_SAMPLE_FMT_FLT, kAudioRate, &codec->ch_layout, codec->sample_fmt,
                            codec->sample_rate, 0, nullptr) < 0 ||
        Av().swr_init(resample) < 0)
      break;
    auto take = [&](const AVFrame* in) {
      const int room = Av().swr_get_out_samples(resample, in ? in->nb_samples : 0);
      if (room <= 0) return;
      const size_t at = samples.size();
      samples.resize(at + static_cast<size_t>(room) * 2);
      uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(samples.data() + at)};
      const int got = Av().swr_convert(resample, outPlanes, room, in ? const_cast<const uint8_t**>(in->extended_data) : nullptr,
                                  in ? in->nb_samples : 0);
      samples.resize(at + static_cast<size_t>(std::max(got, 0)) * 2);
    };
    bool draining = false;
    while (samples.size() / 2 < kMaxFrames) {
      const int got = Av().avcodec_receive_frame(codec, frame);
      if (got == 0) {
        take(frame);
        Av().av_frame_unref(frame);
        continue;
      }
      if (got != AVERROR(EAGAIN) || draining) break;
      if (Av().av_read_frame(format, packet) < 0) {
        draining = true;
        Av().avcodec_send_packet(codec, nullptr);
        continue;
      }
      if (packet->stream_index == stream) Av().avcodec_send_packet(codec, packet);
      Av().av_packet_unref(packet);
    }
    take(nullptr);  // what the resampler still holds
    if (samples.size() / 2 > kMaxFrames) samples.resize(kMaxFrames * 2);
    ok = !samples.empty();
  } while (false);
  Av().swr_free(&resample);
  Av().av_frame_free(&frame);
  Av().av_packet_free(&packet);
  Av().avcodec_free_context(&codec);
  Av().avformat_close_input(&format);
  return ok ? WavOf(samples) : std::vector<uint8_t>();
}

std::unique_ptr<IVideoDecoder> OpenVideo(const std::string& path) {
  if (!Av().loaded) return nullptr;
  auto video = std::make_unique<FfmpegVideo>();
  if (!video->Open(path)) return nullptr;
  return video;
}

#else

bool VideoDecodingAvailable() { return false; }
std::unique_ptr<IVideoDecoder> OpenVideo(const std::string&) { return nullptr; }
std::vector<uint8_t> DecodeVideoSound(const std::string&) { return {}; }

#endif

}  // namespace kv::plat
