#include "sound/function_sound.h"

#include "code/code_docs.h"
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

  DescribeFunctions("CD audio", {
      {"cd_init", "",
       "Prepares the CD drive for playing audio; call it before the other CD functions and after changing the disc."},
      {"cd_present", "", "Returns whether there is a disc in the CD drive."},
      {"cd_number", "", "Returns the number of tracks on the disc."},
      {"cd_playing", "", "Returns whether the CD is playing."},
      {"cd_paused", "", "Returns whether the CD is paused or stopped."},
      {"cd_track", "", "Returns the number of the track playing now."},
      {"cd_length", "", "Returns the length of the whole disc in milliseconds."},
      {"cd_track_length", "n", "Returns the length of track n in milliseconds."},
      {"cd_position", "", "Returns the playing position on the disc in milliseconds."},
      {"cd_track_position", "", "Returns the playing position within the current track in milliseconds."},
      {"cd_play", "first, last", "Plays the tracks from first to last."},
      {"cd_stop", "", "Stops the CD."},
      {"cd_pause", "", "Pauses the CD."},
      {"cd_resume", "", "Resumes a paused CD."},
      {"cd_set_position", "pos", "Moves to a position on the disc, in milliseconds."},
      {"cd_set_track_position", "pos", "Moves to a position within the current track, in milliseconds."},
      {"cd_open_door", "", "Opens the CD drive."},
      {"cd_close_door", "", "Closes the CD drive."},
      {"MCI_command", "str",
       "Sends a command string to the system's multimedia control interface and returns its reply."},
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

  DescribeFunctions("Sound", {
      {"sound_name", "ind", "Returns the name of a sound."},
      {"sound_get_name", "ind", "Returns the name of a sound."},
      {"sound_exists", "ind", "Returns whether a sound with this index exists."},
      {"sound_get_kind", "ind",
       "Returns the kind of a sound: 0 normal, 1 background music, 2 3D, 3 multimedia player; -1 when missing."},
      {"sound_get_preload", "ind", "Returns whether a sound is loaded when the game starts."},
      {"sound_discard", "ind", "Frees the audio memory of a sound; it is loaded again when next played."},
      {"sound_restore", "ind", "Loads a discarded sound back into audio memory."},
      {"sound_add", "fname, kind, preload", "Loads a new sound from a file and returns its index, or -1."},
      {"sound_replace", "ind, fname, kind, preload",
       "Replaces a sound by one loaded from a file and returns whether it worked."},
      {"sound_delete", "ind", "Deletes a sound and frees its memory."},
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
  DescribeFunctions("Sound", {
      {"sound_play", "snd", "Plays a sound once."},
      {"sound_loop", "snd", "Plays a sound over and over."},
      {"sound_stop", "snd", "Stops a sound."},
      {"sound_stop_all", "", "Stops all sounds."},
      {"sound_isplaying", "snd", "Returns whether a sound is playing."},
      {"sound_volume", "snd, value", "Sets the volume of a sound, from 0 (silent) to 1 (full)."},
      {"sound_fade", "snd, value, time", "Changes the volume of a sound to value gradually, over time milliseconds."},
      {"sound_pan", "snd, value", "Sets the balance of a sound, from -1 (left) through 0 to 1 (right)."},
      {"sound_background_tempo", "factor", "Sets the tempo of background music, 1 being normal."},
      {"sound_global_volume", "value", "Sets the volume of all sounds together, from 0 to 1."},
      {"sound_set_search_directory", "dir", "Sets the directory where music files look for the files they use."},
      {"sound_effect_set", "snd, effect",
       "Sets the effects applied to a sound, a sum of se_ constants (se_none for none)."},
      {"sound_effect_chorus", "snd, wetdry, depth, feedback, frequency, wave, delay, phase",
       "Sets the chorus effect's settings for a sound."},
      {"sound_effect_compressor", "snd, gain, attack, release, threshold, ratio, delay",
       "Sets the compressor effect's settings for a sound."},
      {"sound_effect_echo", "snd, wetdry, feedback, leftdelay, rightdelay, pandelay",
       "Sets the echo effect's settings for a sound."},
      {"sound_effect_flanger", "snd, wetdry, depth, feedback, frequency, wave, delay, phase",
       "Sets the flanger effect's settings for a sound."},
      {"sound_effect_gargle", "snd, rate, wave", "Sets the gargle effect's settings for a sound."},
      {"sound_effect_equalizer", "snd, center, bandwidth, gain", "Sets the equalizer effect's settings for a sound."},
      {"sound_effect_reverb", "snd, gain, mix, time, ratio", "Sets the reverb effect's settings for a sound."},
      {"sound_3d_set_sound_position", "snd, x, y, z", "Sets the position of a 3D sound relative to the listener."},
      {"sound_3d_set_sound_velocity", "snd, x, y, z", "Sets the velocity of a 3D sound."},
      {"sound_3d_set_sound_distance", "snd, mindist, maxdist",
       "Sets the distances within which a 3D sound stops getting louder and beyond which it stops getting softer."},
      {"sound_3d_set_sound_cone", "snd, x, y, z, anglein, angleout, voloutside",
       "Sets the direction and cone angles of a 3D sound and its volume outside the cone."},
  });
  RegisterCdFunctions();
  RegisterSoundResourceFunctions();
}

}  // namespace kv
