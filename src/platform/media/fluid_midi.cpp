// MIDI songs through FluidSynth. Each source owns a synthesiser with the soundfont loaded and a player driven by
// the synthesiser's own sample clock, so a song advances exactly with the frames rendered.
#include <fluidsynth.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/audio_decode.h"
#include "platform/audio_out.h"
#include "platform/library_open.h"

namespace kv::plat {
namespace {

constexpr const char* kDefaultSoundfont = "/usr/share/sounds/sf2/default-GM.sf2";

std::string SoundfontPath() {
  if (const char* env = std::getenv("KV_SOUNDFONT"); env && *env) return env;
  return kDefaultSoundfont;
}

void Quiet(int, const char*, void*) {}

// FluidSynth is opened on the first MIDI sound, not at start: it brings some twenty libraries of its own (GLib,
// JACK, D-Bus, readline, ...) whose loading would cost every run milliseconds that most games never use.
#define KV_FLUID_FUNCTIONS(X) \
  X(delete_fluid_player) \
  X(delete_fluid_settings) \
  X(delete_fluid_synth) \
  X(fluid_player_add_mem) \
  X(fluid_player_get_current_tick) \
  X(fluid_player_get_status) \
  X(fluid_player_get_total_ticks) \
  X(fluid_player_play) \
  X(fluid_player_set_loop) \
  X(fluid_player_set_tempo) \
  X(fluid_player_stop) \
  X(fluid_set_log_function) \
  X(fluid_settings_setint) \
  X(fluid_settings_setnum) \
  X(fluid_settings_setstr) \
  X(fluid_synth_all_sounds_off) \
  X(fluid_synth_sfload) \
  X(fluid_synth_system_reset) \
  X(fluid_synth_write_float) \
  X(new_fluid_player) \
  X(new_fluid_settings) \
  X(new_fluid_synth)

struct FluidApi {
#define KV_FLUID_POINTER(name) decltype(&::name) name = nullptr;
  KV_FLUID_FUNCTIONS(KV_FLUID_POINTER)
#undef KV_FLUID_POINTER
  bool loaded = false;
};

FluidApi LoadFluid() {
  FluidApi api;
  void* lib = OpenLibraryOnDemand("libfluidsynth.so.3");
  if (!lib) return api;
  bool all = true;
#define KV_FLUID_RESOLVE(name)                                                  \
  api.name = reinterpret_cast<decltype(api.name)>(dlsym(lib, #name));           \
  all = all && api.name != nullptr;
  KV_FLUID_FUNCTIONS(KV_FLUID_RESOLVE)
#undef KV_FLUID_RESOLVE
  api.loaded = all;
  return api;
}

// The library's functions (all null and `loaded` false when it cannot be opened); opened once.
const FluidApi& Fl() {
  static const FluidApi api = LoadFluid();
  return api;
}

class FluidMidiSource final : public IMidiSource {
 public:
  FluidMidiSource(std::vector<uint8_t> midi, std::string soundfont)
      : midi_(std::move(midi)), soundfont_(std::move(soundfont)) {}
  ~FluidMidiSource() override { Release(); }

  bool Prepare() override {
    if (synth_) return true;
    if (failed_) return false;
    settings_ = Fl().new_fluid_settings();
    if (settings_) {
      Fl().fluid_settings_setnum(settings_, "synth.sample-rate", kAudioRate);
      Fl().fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
      Fl().fluid_settings_setstr(settings_, "player.timing-source", "sample");
      synth_ = Fl().new_fluid_synth(settings_);
    }
    if (!synth_ || Fl().fluid_synth_sfload(synth_, soundfont_.c_str(), 1) == FLUID_FAILED) {
      Release();
      failed_ = true;
      return false;
    }
    return true;
  }

  void Release() override {
    if (player_) Fl().delete_fluid_player(player_);
    if (synth_) Fl().delete_fluid_synth(synth_);
    if (settings_) Fl().delete_fluid_settings(settings_);
    player_ = nullptr;
    synth_ = nullptr;
    settings_ = nullptr;
  }

  bool Prepared() const override { return synth_ != nullptr; }

  void Start(bool loop) override {
    if (!Prepare()) return;
    Stop();
    player_ = Fl().new_fluid_player(synth_);
    if (!player_ || Fl().fluid_player_add_mem(player_, midi_.data(), midi_.size()) != FLUID_OK) return;
    Fl().fluid_player_set_loop(player_, loop ? -1 : 1);
    Fl().fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
    loop_ = loop;
    rendered_ = false;
    Fl().fluid_player_play(player_);
  }

  void Stop() override {
    if (player_) {
      Fl().fluid_player_stop(player_);
      Fl().delete_fluid_player(player_);
      player_ = nullptr;
    }
    if (!synth_) return;
    Fl().fluid_synth_all_sounds_off(synth_, -1);
    Fl().fluid_synth_system_reset(synth_);
  }

  bool Playing() const override {
    if (!player_) return false;
    // The player reads the song on its first callback: until something is rendered it is about to play.
    if (!rendered_) return true;
    if (Fl().fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return false;
    // The player reports "playing" for a while after the last event; the song has ended at its last tick.
    return loop_ || Fl().fluid_player_get_current_tick(player_) < Fl().fluid_player_get_total_ticks(player_);
  }

  void SetTempo(double factor) override {
    tempo_ = factor;
    if (player_) Fl().fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, factor);
  }

  void Render(float* stereo, int frames) override {
    if (!player_) return;
    scratch_.assign(static_cast<size_t>(frames) * 2, 0.0f);
    Fl().fluid_synth_write_float(synth_, frames, scratch_.data(), 0, 2, scratch_.data(), 1, 2);
    rendered_ = true;
    for (size_t i = 0; i < scratch_.size(); ++i) stereo[i] += scratch_[i];
  }

 private:
  std::vector<uint8_t> midi_;
  std::string soundfont_;
  bool failed_ = false;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  double tempo_ = 1.0;
  bool loop_ = false;
  bool rendered_ = false;
  std::vector<float> scratch_;
};

}  // namespace

std::unique_ptr<IMidiSource> CreateMidiSource(const std::vector<uint8_t>& midi) {
  if (!IsMidi(midi.data(), midi.size())) return nullptr;
  if (!Fl().loaded) {
    static bool toldLibrary = false;
    if (!toldLibrary) std::cerr << "kvrun: FluidSynth cannot be loaded: MIDI sounds stay silent\n";
    toldLibrary = true;
    return nullptr;
  }
  static const bool quiet = [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) Fl().fluid_set_log_function(level, Quiet, nullptr);
    return true;
  }();
  (void)quiet;
  const std::string soundfont = SoundfontPath();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(soundfont, ec)) {
    static bool told = false;
    if (!told) std::cerr << "kvrun: no soundfont at " << soundfont << ": MIDI sounds stay silent\n";
    told = true;
    return nullptr;
  }
  return std::make_unique<FluidMidiSource>(midi, soundfont);
}

}  // namespace kv::plat
