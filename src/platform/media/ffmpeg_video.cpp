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
#endif

namespace kv::plat {

#ifdef KV_HAVE_FFMPEG

namespace {

class FfmpegVideo final : public IVideoDecoder {
 public:
  ~FfmpegVideo() override {
    if (scale_) sws_freeContext(scale_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path) {
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) return false;
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_ || avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0) return false;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
    if (codec_->width <= 0 || codec_->height <= 0 || codec_->width > 8192 || codec_->height > 8192) return false;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
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
      const int got = avcodec_receive_frame(codec_, frame_);
      if (got == 0) return Convert(pixels, seconds);
      if (got == AVERROR_EOF) return false;
      if (got != AVERROR(EAGAIN)) return false;
      if (draining_) return false;
      // More input: the next packet of the video stream, or the end (which drains the decoder).
      const int read = av_read_frame(format_, packet_);
      if (read < 0) {
        draining_ = true;
        avcodec_send_packet(codec_, nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
      av_packet_unref(packet_);
    }
  }

  bool Rewind() override {
    if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(format_, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
      return false;
    avcodec_flush_buffers(codec_);
    draining_ = false;
    frameCount_ = 0;
    return true;
  }

 private:
  bool Convert(std::vector<uint32_t>& pixels, double& seconds) {
    const int w = codec_->width, h = codec_->height;
    if (frame_->width != w || frame_->height != h) return false;
    scale_ = sws_getCachedContext(scale_, w, h, static_cast<AVPixelFormat>(frame_->format), w, h, AV_PIX_FMT_BGRA,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scale_) return false;
    pixels.assign(static_cast<size_t>(w) * h, 0);
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    int strides[4] = {w * 4, 0, 0, 0};
    sws_scale(scale_, frame_->data, frame_->linesize, 0, h, planes, strides);
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
    av_frame_unref(frame_);
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

bool VideoDecodingAvailable() { return true; }

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
  constexpr size_t kMaxFrames = static_cast<size_t>(kAudioRate) * 300;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resample = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  std::vector<float> samples;
  bool ok = false;
  do {
    if (!frame || !packet || avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) break;
    if (avformat_find_stream_info(format, nullptr) < 0) break;
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) break;
    codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0) break;
    if (avcodec_open2(codec, decoder, nullptr) < 0 || codec->sample_rate <= 0) break;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&resample, &stereo, AV_SAMPLE_FMT_FLT, kAudioRate, &codec->ch_layout, codec->sample_fmt,
                            codec->sample_rate, 0, nullptr) < 0 ||
        swr_init(resample) < 0)
      break;
    auto take = [&](const AVFrame* in) {
      const int room = swr_get_out_samples(resample, in ? in->nb_samples : 0);
      if (room <= 0) return;
      const size_t at = samples.size();
      samples.resize(at + static_cast<size_t>(room) * 2);
      uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(samples.data() + at)};
      const int got = swr_convert(resample, outPlanes, room, in ? const_cast<const uint8_t**>(in->extended_data) : nullptr,
                                  in ? in->nb_samples : 0);
      samples.resize(at + static_cast<size_t>(std::max(got, 0)) * 2);
    };
    bool draining = false;
    while (samples.size() / 2 < kMaxFrames) {
      const int got = avcodec_receive_frame(codec, frame);
      if (got == 0) {
        take(frame);
        av_frame_unref(frame);
        continue;
      }
      if (got != AVERROR(EAGAIN) || draining) break;
      if (av_read_frame(format, packet) < 0) {
        draining = true;
        avcodec_send_packet(codec, nullptr);
        continue;
      }
      if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
    }
    take(nullptr);  // what the resampler still holds
    if (samples.size() / 2 > kMaxFrames) samples.resize(kMaxFrames * 2);
    ok = !samples.empty();
  } while (false);
  swr_free(&resample);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return ok ? WavOf(samples) : std::vector<uint8_t>();
}

std::unique_ptr<IVideoDecoder> OpenVideo(const std::string& path) {
  av_log_set_level(AV_LOG_ERROR);  // the decoder's notes are no business of the game's log
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
