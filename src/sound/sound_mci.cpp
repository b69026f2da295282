#include "sound/sound_mci.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <numeric>
#include <optional>
#include <vector>

#include "platform/cd_drive.h"
#include "sound/sound_directx.h"
#include "sound/sound_mixer.h"

namespace kv::snd {
namespace {

enum class TimeFormat { Ms, Tmsf, Msf };

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Words of a command; a double-quoted part is one word without its quotes.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size()) break;
    std::string w;
    if (text[i] == '"') {
      const size_t end = text.find('"', i + 1);
      w = text.substr(i + 1, (end == std::string::npos ? text.size() : end) - i - 1);
      i = end == std::string::npos ? text.size() : end + 1;
    } else {
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) w += text[i++];
    }
    words.push_back(w);
  }
  return words;
}

std::optional<int64_t> Number(const std::string& s) {
  if (s.empty() || s.size() > 15 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoll(s);
}

std::string Two(int64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02lld", static_cast<long long>(v));
  return buf;
}

// "mm:ss:ff" of a duration (75 frames a second).
std::string Msf(int64_t ms) {
  return Two(ms / 60000) + ":" + Two(ms / 1000 % 60) + ":" + Two(ms % 1000 * 75 / 1000);
}

int64_t FramesToMs(int64_t frames) { return frames * 1000 / kMixRate; }
int64_t MsToFrames(int64_t ms) { return ms * kMixRate / 1000; }

// The emulated CD player: positions are milliseconds from the start of track 1.
struct CdState {
  bool open = false;
  TimeFormat format = TimeFormat::Msf;
  enum class Mode { Stopped, Playing, Paused } mode = Mode::Stopped;
  int64_t position = 0;  // while not playing
  int64_t playStart = 0, playEnd = 0;
  int64_t startFrame = 0;  // rendered frames when playing began
};

// A file opened with an alias (or its own name).
struct FileDevice {
  int stream = -1;
  TimeFormat format = TimeFormat::Ms;
  bool paused = false;
};

struct Mci {
  plat::ICdDrive* drive = nullptr;
  CdState cd;
  std::map<std::string, FileDevice> files;  // by lower-case alias
};

Mci& M() {
  static Mci m;
  return m;
}

std::vector<int64_t> Tracks() { return M().drive ? M().drive->TrackLengths() : std::vector<int64_t>(); }

int64_t TrackStart(const std::vector<int64_t>& tracks, int n) {
  return std::accumulate(tracks.begin(), tracks.begin() + std::clamp(n - 1, 0, static_cast<int>(tracks.size())),
                         int64_t{0});
}

int64_t DiscLength(const std::vector<int64_t>& tracks) { return std::accumulate(tracks.begin(), tracks.end(), int64_t{0}); }

// Updates the player from the clock: a play that passed its end stops there.
int64_t CdPosition() {
  CdState& cd = M().cd;
  if (cd.mode == CdState::Mode::Playing) {
    const int64_t now = cd.playStart + FramesToMs(RenderedFrames() - cd.startFrame);
    if (now >= cd.playEnd) {
      cd.mode = CdState::Mode::Stopped;
      cd.position = cd.playEnd;
    } else {
      return now;
    }
  }
  return cd.position;
}

// The track holding a position and the offset into it.
std::pair<int, int64_t> TrackAt(const std::vector<int64_t>& tracks, int64_t pos) {
  int64_t start = 0;
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (pos < start + tracks[i] || i + 1 == tracks.size()) return {static_cast<int>(i) + 1, pos - start};
    start += tracks[i];
  }
  return {1, pos};
}

std::string FormatPosition(int64_t pos, TimeFormat f, const std::vector<int64_t>& tracks) {
  if (f == TimeFormat::Ms) return std::to_string(pos);
  if (f == TimeFormat::Msf) return Msf(pos);
  const auto [track, offset] = TrackAt(tracks, pos);
  return Two(track) + ":" + Two(offset / 60000) + ":" + Two(offset / 1000 % 60) + ":" + Two(offset % 1000 * 75 / 1000);
}

// A position in the time format: ms "N"; tmsf "t[:m[:s[:f]]]"; msf "m[:s[:f]]".
std::optional<int64_t> ParsePosition(const std::string& text, TimeFormat f, const std::vector<int64_t>& tracks) {
  if (f == TimeFormat::Ms) return Number(text);
  std::vector<int64_t> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = text.find(':', start);
    auto n = Number(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (!n) return std::nullopt;
    parts.push_back(*n);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() > 4 || (f == TimeFormat::Msf && parts.size() > 3)) return std::nullopt;
  if (f == TimeFormat::Tmsf) {
    const int track = static_cast<int>(parts[0]);
    if (track < 1 || track > static_cast<int>(tracks.size())) return std::nullopt;
    parts.erase(parts.begin());
    parts.resize(3, 0);
    return TrackStart(tracks, track) + parts[0] * 60000 + parts[1] * 1000 + parts[2] * 1000 / 75;
  }
  parts.resize(3, 0);
  return parts[0] * 60000 + parts[1] * 1000 + parts[2] * 1000 / 75;
}

std::optional<TimeFormat> ParseFormat(const std::string& w) {
  const std::string f = Lower(w);
  if (f == "ms" || f == "milliseconds") return TimeFormat::Ms;
  if (f == "tmsf") return TimeFormat::Tmsf;
  if (f == "msf") return TimeFormat::Msf;
  return std::nullopt;
}

// The value after a keyword ("from 3"), if present.
std::optional<std::string> After(const std::vector<std::string>& w, const char* key) {
  for (size_t i = 2; i + 1 < w.size(); ++i)
    if (Lower(w[i]) == key) return w[i + 1];
  return std::nullopt;
}

bool Has(const std::vector<std::string>& w, const char* key) {
  for (size_t i = 2; i < w.size(); ++i)
    if (Lower(w[i]) == key) return true;
  return false;
}

// The words after the device name without the flags that change nothing here.
std::string Rest(const std::vector<std::string>& w) {
  std::string out;
  for (size_t i = 2; i < w.size(); ++i) {
    const std::string l = Lower(w[i]);
    if (l == "wait" || l == "notify") continue;
    if (!out.empty()) out += ' ';
    out += l;
  }
  return out;
}

std::string CdCommand(const std::string& verb, const std::vector<std::string>& w) {
  Mci& m = M();
  CdState& cd = m.cd;
  if (verb == "open") {
    if (!m.drive) return "";
    cd.open = true;
    return "";
  }
  if (verb == "close") {
    CdPosition();
    cd = CdState();
    return "";
  }
  if (!m.drive) return "";
  const std::vector<int64_t> tracks = Tracks();
  const std::string rest = Rest(w);
  if (verb == "status") {
    if (rest == "media present") return m.drive->MediaPresent() ? "true" : "false";
    if (tracks.empty()) return "";
    const int64_t pos = CdPosition();
    if (rest == "number of tracks") return std::to_string(tracks.size());
    if (rest == "mode") {
      return cd.mode == CdState::Mode::Playing ? "playing" : cd.mode == CdState::Mode::Paused ? "paused" : "stopped";
    }
    if (rest == "position") return FormatPosition(pos, cd.format, tracks);
    if (rest == "current track") return std::to_string(TrackAt(tracks, pos).first);
    if (rest == "length") return cd.format == TimeFormat::Ms ? std::to_string(DiscLength(tracks)) : Msf(DiscLength(tracks));
    if (rest.rfind("length track ", 0) == 0) {
      const auto n = Number(rest.substr(13));
      if (!n || *n < 1 || *n > static_cast<int64_t>(tracks.size())) return "";
      const int64_t len = tracks[static_cast<size_t>(*n - 1)];
      return cd.format == TimeFormat::Ms ? std::to_string(len) : Msf(len);
    }
    if (rest == "time format") return cd.format == TimeFormat::Ms ? "milliseconds" : cd.format == TimeFormat::Tmsf ? "tmsf" : "msf";
    return "";
  }
  if (verb == "set") {
    if (rest == "door open") {
      CdPosition();
      cd.mode = CdState::Mode::Stopped;
      m.drive->SetDoor(true);
      return "";
    }
    if (rest == "door closed") {
      m.drive->SetDoor(false);
      return "";
    }
    if (rest.rfind("time format ", 0) == 0) {
      if (auto f = ParseFormat(rest.substr(12))) cd.format = *f;
      return "";
    }
    return "";
  }
  if (tracks.empty()) return "";
  const int64_t length = DiscLength(tracks);
  if (verb == "play") {
    int64_t from = CdPosition(), to = length;
    if (auto f = After(w, "from")) {
      auto p = ParsePosition(*f, cd.format, tracks);
      if (!p) return "";
      from = *p;
    }
    if (auto t = After(w, "to")) {
      auto p = ParsePosition(*t, cd.format, tracks);
      if (!p) return "";
      to = *p;
    }
    cd.playStart = std::clamp<int64_t>(from, 0, length);
    cd.playEnd = std::clamp<int64_t>(to, cd.playStart, length);
    cd.startFrame = RenderedFrames();
    cd.mode = CdState::Mode::Playing;
    return "";
  }
  if (verb == "stop" || verb == "pause") {
    cd.position = CdPosition();
    if (cd.mode == CdState::Mode::Playing || verb == "stop")
      cd.mode = verb == "stop" ? CdState::Mode::Stopped : CdState::Mode::Paused;
    return "";
  }
  if (verb == "resume") {
    if (cd.mode != CdState::Mode::Paused) return "";
    cd.playStart = cd.position;
    cd.startFrame = RenderedFrames();
    cd.mode = CdState::Mode::Playing;
    return "";
  }
  if (verb == "seek") {
    const std::optional<std::string> to = After(w, "to");
    if (!to) return "";
    std::optional<int64_t> p = Lower(*to) == "start" ? 0 : Lower(*to) == "end" ? length : ParsePosition(*to, cd.format, tracks);
    if (!p) return "";
    cd.position = std::clamp<int64_t>(*p, 0, length);
    cd.mode = CdState::Mode::Stopped;
    return "";
  }
  return "";
}

std::string FileCommand(const std::string& verb, const std::string& name, const std::vector<std::string>& w) {
  Mci& m = M();
  if (verb == "open") {
    const std::string alias = Lower(After(w, "alias").value_or(name));
    if (m.files.count(alias)) return "";
    const int stream = OpenStream(name);
    if (stream < 0) return "";
    m.files[alias] = FileDevice{stream, TimeFormat::Ms, false};
    return "";
  }
  if (verb == "close" && Lower(name) == "all") {
    for (auto& [alias, dev] : m.files) CloseStream(dev.stream);
    m.files.clear();
    return "";
  }
  auto it = m.files.find(Lower(name));
  if (it == m.files.end()) return "";
  FileDevice& dev = it->second;
  const std::string rest = Rest(w);
  const int64_t length = FramesToMs(StreamLength(dev.stream));
  auto toFrames = [&](const std::string& text) -> std::optional<int64_t> {
    auto ms = ParsePosition(text, dev.format == TimeFormat::Tmsf ? TimeFormat::Ms : dev.format, {});
    if (!ms) return std::nullopt;
    return MsToFrames(*ms);
  };
  if (verb == "close") {
    CloseStream(dev.stream);
    m.files.erase(it);
    return "";
  }
  if (verb == "play") {
    int64_t from = -1, to = -1;
    if (auto f = After(w, "from")) {
      auto p = toFrames(*f);
      if (!p) return "";
      from = *p;
    }
    if (auto t = After(w, "to")) {
      auto p = toFrames(*t);
      if (!p) return "";
      to = *p;
    }
    if (from < 0 && !dev.paused && StreamPosition(dev.stream) >= StreamLength(dev.stream)) from = 0;
    PlayStream(dev.stream, from, to, Has(w, "repeat"));
    dev.paused = false;
    return "";
  }
  if (verb == "stop" || verb == "pause") {
    StopStream(dev.stream);
    dev.paused = verb == "pause";
    return "";
  }
  if (verb == "resume") {
    if (dev.paused) PlayStream(dev.stream, -1, -1, false);
    dev.paused = false;
    return "";
  }
  if (verb == "seek") {
    const std::optional<std::string> to = After(w, "to");
    if (!to) return "";
    StopStream(dev.stream);
    dev.paused = false;
    if (Lower(*to) == "start") SeekStream(dev.stream, 0);
    else if (Lower(*to) == "end") SeekStream(dev.stream, StreamLength(dev.stream));
    else if (auto p = toFrames(*to)) SeekStream(dev.stream, *p);
    return "";
  }
  if (verb == "set") {
    if (rest.rfind("time format ", 0) == 0)
      if (auto f = ParseFormat(rest.substr(12)); f && *f != TimeFormat::Tmsf) dev.format = *f;
    return "";
  }
  if (verb == "status") {
    auto show = [&](int64_t ms) { return dev.format == TimeFormat::Ms ? std::to_string(ms) : Msf(ms); };
    if (rest == "mode") return StreamPlaying(dev.stream) ? "playing" : dev.paused ? "paused" : "stopped";
    if (rest == "length") return show(length);
    if (rest == "position") return show(FramesToMs(StreamPosition(dev.stream)));
    if (rest == "ready") return "true";
    if (rest == "time format") return dev.format == TimeFormat::Ms ? "milliseconds" : "msf";
    return "";
  }
  return "";
}

}  // namespace

void SetCdDrive(plat::ICdDrive* drive) {
  M().drive = drive;
  M().cd = CdState();
}

void MciReset() {
  for (auto& [alias, dev] : M().files) CloseStream(dev.stream);
  M().files.clear();
  M().cd = CdState();
}

std::string MciCommand(const std::string& command) {
  const std::vector<std::string> w = Words(command);
  if (w.size() < 2) return "";
  const std::string verb = Lower(w[0]);
  static const char* const kVerbs[] = {"open", "close", "play", "stop", "pause", "resume", "seek", "set", "status"};
  if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) == std::end(kVerbs)) return "";
  std::string reply = Lower(w[1]) == "cdaudio" ? CdCommand(verb, w) : FileCommand(verb, w[1], w);
  if (reply.size() > kMciReplyLimit) reply.resize(kMciReplyLimit);
  return reply;
}

}  // namespace kv::snd
