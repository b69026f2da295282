#pragma once
// Video files decoded frame by frame into 32-bit pixels (FFmpeg where the build has it; otherwise no video opens).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv::plat {

class IVideoDecoder {
 public:
  virtual ~IVideoDecoder() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Seconds the video lasts (0 when the container does not tell).
  virtual double Duration() const = 0;
  // The next frame (0xAARRGGBB, Width() × Height(), rows top first) and the second it is shown at; false at the
  // end of the video or on a damaged stream.
  virtual bool NextFrame(std::vector<uint32_t>& pixels, double& seconds) = 0;
  // Back to the first frame; false when the stream cannot seek.
  virtual bool Rewind() = 0;
};

bool VideoDecodingAvailable();
// The sound of a video file as the image of a WAV file (32-bit float stereo at the mixer rate, at most five
// minutes); empty when the file has no sound that decodes.
std::vector<uint8_t> DecodeVideoSound(const std::string& path);
// Null when the file cannot be opened as a video (or this build decodes none).
std::unique_ptr<IVideoDecoder> OpenVideo(const std::string& path);

}  // namespace kv::plat
