#pragma once
// A CD drive as the CD audio functions see it: whether a disc is in, the lengths of its audio tracks and the door.
// Playing is emulated above this interface on the runner's audio clock (no audio is read from the disc).
#include <cstdint>
#include <memory>
#include <vector>

namespace kv::plat {

class ICdDrive {
 public:
  virtual ~ICdDrive() = default;
  virtual bool MediaPresent() const = 0;
  // Milliseconds of each track, track 1 first.
  virtual std::vector<int64_t> TrackLengths() const = 0;
  virtual void SetDoor(bool open) = 0;
};

// A drive with a fixed disc (tests and automation); opening the door takes the disc out until it closes.
class FakeCdDrive final : public ICdDrive {
 public:
  explicit FakeCdDrive(std::vector<int64_t> trackLengths) : tracks_(std::move(trackLengths)) {}
  bool MediaPresent() const override { return !doorOpen_ && !tracks_.empty(); }
  std::vector<int64_t> TrackLengths() const override {
    return MediaPresent() ? tracks_ : std::vector<int64_t>();
  }
  void SetDoor(bool open) override { doorOpen_ = open; }
  bool DoorOpen() const { return doorOpen_; }

 private:
  std::vector<int64_t> tracks_;
  bool doorOpen_ = false;
};

}  // namespace kv::plat
