#include "platform/video_decode.h"

#ifdef KV_HAVE_FFMPEG
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}
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

std::unique_ptr<IVideoDecoder> OpenVideo(const std::string& path) {
  av_log_set_level(AV_LOG_ERROR);  // the decoder's notes are no business of the game's log
  auto video = std::make_unique<FfmpegVideo>();
  if (!video->Open(path)) return nullptr;
  return video;
}

#else

bool VideoDecodingAvailable() { return false; }
std::unique_ptr<IVideoDecoder> OpenVideo(const std::string&) { return nullptr; }

#endif

}  // namespace kv::plat
