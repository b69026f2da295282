#include "sound/function_sound.h"

#include "code/code_error.h"
#include "functions/function_args.h"
#include "runner/game_sections.h"
#include "sound/sound_directx.h"
#include "sound/sound_main.h"
#include "sound/sound_mci.h"
#include "sound/support_cd.h"
#include "world/world_state.h"

namespace kv {
namespace {

using namespace fnargs;
constexpr const char* kMsgNoSound = "Sound does not exist.";

ResourceTable<CSound>* Sounds() {
  GameResources* res = WorldResources();
  return res ? &res->sounds : nullptr;
}

CSound* FindSound(int index) {
  ResourceTable<CSound>* sounds = Sounds();
  return sounds ? sounds->Get(index) : nullptr;
}

// The sample of the sound in argument 0, made when needed; −1 (after reporting) for a missing sound, and −1
// without a message when the sound has no playable sample.
int SampleArg(const RValue* a) {
  CSound* s = FindSound(I(a, 0));
  if (!s) {
    ReportRuntimeError(kMsgNoSound);
    return -1;
  }
  return s->Sample();
}

std::vector<double> Reals(const RValue* a, int from, int count) {
  std::vector<double> v;
  for (int i = from; i < from + count; ++i) v.push_back(D(a, i));
  return v;
}

// An effect setter: every argument after the sound, in order, to the first effect of the kind.
#define KV_EFFECT_FN(NAME, ARGC, KIND)                                          \
  Reg(NAME, ARGC, KV_FN {                                                      \
    KV_UNUSED_ARGS;                                                            \
    const int sample = SampleArg(a);                                           \
    if (sample >= 0) snd::SetEffectParams(sample, KIND, Reals(a, 1, (ARGC) - 1)); \
  })

void RegisterCdFunctions() {
  Reg("cd_init", 0, KV_FN { KV_UNUSED_ARGS; snd::CdInit(); });
  Reg("cd_present", 0, KV_FN { KV_UNUSED_ARGS; r = snd::CdPresent() ? 1.0 : 0.0; });
  Reg("cd_number", 0, KV_FN { KV_UNUSED_ARGS; r = snd::CdNumber(); });
  Reg("cd_playing", 0, KV_FN { KV_UNUSED_ARGS; r = snd::CdPlaying() ? 1.0 : 0.0; });
  Reg("cd_paused", 0, KV_FN { KV_UNUSED_ARGS; r = snd::CdPaused() ? 1.0 : 0.0; });
  Reg("cd_track", 0, KV_FN { KV_UNUSED_ARGS; r = snd::CdTrack(); });
  Reg("cd_length", 0, KV_FN { KV_UNUSED_ARGS; r = static_cast<double>(snd::CdLength()); });
  Reg("cd_track_length", 1, KV_FN { KV_UNUSED_ARGS; r = static_cast<double>(snd::CdTrackLength(I(a, 0))); });
  Reg("cd_position", 0, KV_FN { KV_UNUSED_ARGS; r = static_cast<double>(snd::CdPosition()); });
  Reg("cd_track_position", 0, KV_FN { KV_UNUSED_ARGS; r = static_cast<double>(snd::CdTrackPosition()); });
  Reg("cd_play", 2, KV_FN { KV_UNUSED_ARGS; snd::CdPlay(I(a, 0), I(a, 1)); });
  Reg("cd_stop", 0, KV_FN { KV_UNUSED_ARGS; snd::CdStop(); });
  Reg("cd_pause", 0, KV_FN { KV_UNUSED_ARGS; snd::CdPause(); });
  Reg("cd_resume", 0, KV_FN { KV_UNUSED_ARGS; snd::CdResume(); });
  Reg("cd_set_position", 1, KV_FN { KV_UNUSED_ARGS; snd::CdSetPosition(I(a, 0)); });
  Reg("cd_set_track_position", 1, KV_FN { KV_UNUSED_ARGS; snd::CdSetTrackPosition(I(a, 0)); });
  Reg("cd_open_door", 0, KV_FN { KV_UNUSED_ARGS; snd::CdOpenDoor(); });
  Reg("cd_close_door", 0, KV_FN { KV_UNUSED_ARGS; snd::CdCloseDoor(); });
  Reg("MCI_command", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(snd::MciCommand(Str(a, 0)));
  });
}

// The resource functions of the sound table.
void RegisterSoundResourceFunctions() {
  auto name = KV_FN {
    KV_UNUSED_ARGS;
    ResourceTable<CSound>* sounds = Sounds();
    r = RValue(sounds ? sounds->Name(I(a, 0)) : ResourceTable<CSound>::kUndefinedName);
  };
  Reg("sound_name", 1, name);
  Reg("sound_get_name", 1, name);
  Reg("sound_exists", 1, KV_FN { KV_UNUSED_ARGS; r = FindSound(I(a, 0)) ? 1.0 : 0.0; });
  Reg("sound_get_kind", 1, KV_FN {
    KV_UNUSED_ARGS;
    const CSound* s = FindSound(I(a, 0));
    r = s ? s->kind : -1;
  });
  Reg("sound_get_preload", 1, KV_FN {
    KV_UNUSED_ARGS;
    const CSound* s = FindSound(I(a, 0));
    r = s && s->preload ? 1.0 : 0.0;
  });
  Reg("sound_discard", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (CSound* s = FindSound(I(a, 0))) s->FreeSample();
  });
  Reg("sound_restore", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (CSound* s = FindSound(I(a, 0))) s->Sample();
  });
  Reg("sound_add", 3, KV_FN {
    KV_UNUSED_ARGS;
    ResourceTable<CSound>* sounds = Sounds();
    r = sounds ? AddSound(*sounds, Str(a, 0), I(a, 1), B(a, 2)) : -1;
  });
  Reg("sound_replace", 4, KV_FN {
    KV_UNUSED_ARGS;
    ResourceTable<CSound>* sounds = Sounds();
    if (!sounds || !sounds->Exists(I(a, 0))) {
      ReportRuntimeError("Trying to replace non-existing sound.");
      r = 0.0;
      return;
    }
    r = ReplaceSound(*sounds, I(a, 0), Str(a, 1), I(a, 2), B(a, 3)) ? 1.0 : 0.0;
  });
  Reg("sound_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    ResourceTable<CSound>* sounds = Sounds();
    if (!sounds || !DeleteSound(*sounds, I(a, 0))) ReportRuntimeError("Trying to delete non-existing sound.");
  });
}

}  // namespace

void RegisterSoundFunctions() {
  Reg("sound_play", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Play(s, false);
  });
  Reg("sound_loop", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Play(s, true);
  });
  Reg("sound_stop", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Stop(s);
  });
  Reg("sound_stop_all", 0, KV_FN { KV_UNUSED_ARGS; snd::StopAll(); });
  Reg("sound_isplaying", 1, KV_FN {
    KV_UNUSED_ARGS;
    CSound* s = FindSound(I(a, 0));
    const int sample = s ? s->Sample() : -1;
    r = sample >= 0 && snd::IsPlaying(sample) ? 1.0 : 0.0;
  });
  Reg("sound_volume", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::SetVolume(s, 0, D(a, 1));
  });
  Reg("sound_fade", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::SetVolume(s, D(a, 2), D(a, 1));
  });
  Reg("sound_pan", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::SetPan(s, D(a, 1));
  });
  Reg("sound_background_tempo", 1, KV_FN { KV_UNUSED_ARGS; snd::SetTempo(D(a, 0)); });
  Reg("sound_global_volume", 1, KV_FN { KV_UNUSED_ARGS; snd::SetGlobalVolume(D(a, 0)); });
  Reg("sound_set_search_directory", 1, KV_FN { KV_UNUSED_ARGS; snd::SetSearchDirectory(Str(a, 0)); });
  Reg("sound_effect_set", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::SetEffects(s, I(a, 1));
  });
  KV_EFFECT_FN("sound_effect_chorus", 8, snd::EffectKind::Chorus);
  KV_EFFECT_FN("sound_effect_compressor", 7, snd::EffectKind::Compressor);
  KV_EFFECT_FN("sound_effect_echo", 6, snd::EffectKind::Echo);
  KV_EFFECT_FN("sound_effect_flanger", 8, snd::EffectKind::Flanger);
  KV_EFFECT_FN("sound_effect_gargle", 3, snd::EffectKind::Gargle);
  KV_EFFECT_FN("sound_effect_equalizer", 4, snd::EffectKind::Equalizer);
  KV_EFFECT_FN("sound_effect_reverb", 5, snd::EffectKind::Reverb);
  Reg("sound_3d_set_sound_position", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Set3DPosition(s, D(a, 1), D(a, 2), D(a, 3));
  });
  Reg("sound_3d_set_sound_velocity", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Set3DVelocity(s, D(a, 1), D(a, 2), D(a, 3));
  });
  Reg("sound_3d_set_sound_distance", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Set3DDistance(s, D(a, 1), D(a, 2));
  });
  Reg("sound_3d_set_sound_cone", 7, KV_FN {
    KV_UNUSED_ARGS;
    if (const int s = SampleArg(a); s >= 0) snd::Set3DCone(s, D(a, 1), D(a, 2), D(a, 3), I(a, 4), I(a, 5), D(a, 6));
  });
  RegisterCdFunctions();
  RegisterSoundResourceFunctions();
}

}  // namespace kv
