#pragma once
// Shared helpers of the record and section tests: a byte builder for hand-made layouts and sample records with
// non-default values in every stored field.
#include <cstdint>
#include <string>
#include <vector>

#include "runner/game_sections.h"
#include "runner/support_stream.h"

namespace kv::samples {

// Builds a byte layout field by field, in the order the test spells out.
struct Bytes {
  CStream s;
  Bytes& I(int32_t v) { s.WriteInt(v); return *this; }
  Bytes& R(double v) { s.WriteReal(v); return *this; }
  Bytes& B(bool v) { s.WriteBool(v); return *this; }
  Bytes& S(const std::string& v) { s.WriteString(v); return *this; }
  Bytes& Z(const std::string& v) {
    s.WriteCompressed(reinterpret_cast<const uint8_t*>(v.data()), v.size());
    return *this;
  }
  // A stream positioned at 0 holding the bytes so far.
  CStream Stream() const { return CStream(s.Buffer()); }
};

template <class T>
std::vector<uint8_t> Encode(const T& record) {
  CStream s;
  record.Write(s);
  return s.Buffer();
}

CAction SampleAction(int seed);
CEvent SampleEvent(int seed, int actions);
CSound SampleSound();
CSprite SampleSprite();
CBackground SampleBackground();
CFont SampleFont();
CPath SamplePath();
CScript SampleScript();
CTimeLine SampleTimeLine();
CObject SampleObject();
CRoom SampleRoom();
CDataFile SampleDataFile();
CGameInfo SampleGameInfo();
CExtensionPackage SampleExtensionPackage();
GameResources SampleResources();

}  // namespace kv::samples
