// Particle systems: containers of living particles with a depth, a drawing offset and the components that act on
// their particles (emitters, attractors, destroyers, deflectors, changers). One global table indexed by id with
// the lowest-free-id rule; components have the same rule per system and kind.
//
// Particles are kept in structure-of-arrays form: each field is one contiguous array, in birth order (oldest
// first), compacted when particles die, so the per-step loops run over plain arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kv::particles {

// More live particles than this in one system are not created: a typo in a count cannot exhaust memory.
constexpr size_t kMaxParticlesPerSystem = 1000000;

enum RegionShape : int32_t { kRegionRectangle = 0, kRegionEllipse = 1, kRegionDiamond = 2, kRegionLine = 3 };
enum Distribution : int32_t { kDistrLinear = 0, kDistrGaussian = 1, kDistrInvGaussian = 2 };
enum ForceKind : int32_t { kForceConstant = 0, kForceLinear = 1, kForceQuadratic = 2 };
enum DeflectKind : int32_t { kDeflectVertical = 0, kDeflectHorizontal = 1 };
enum ChangeKind : int32_t { kChangeAll = 0, kChangeShape = 1, kChangeMotion = 2 };

struct RParticleArrays {
  std::vector<uint8_t> alive;
  std::vector<int32_t> type, age, life, colour, imageOffset, seed;
  std::vector<double> x, y, xPrevious, yPrevious, speed, direction, angle, alpha, size;

  size_t Count() const { return type.size(); }
  void Reserve(size_t n);
  void Resize(size_t n);
  void Clear();
  // Removes every particle whose alive flag is clear, keeping the order of the others.
  void RemoveDead();
};

struct REmitter {
  bool exists = false;
  int32_t streamNumber = 0;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t distribution = kDistrLinear;
  int32_t shape = kRegionRectangle;
  int32_t streamType = 0;
};
struct RAttractor {
  bool exists = false;
  double x = 0, y = 0;
  double force = 0;
  double dist = 0;
  int32_t kind = kForceConstant;
  bool additive = true;
};
struct RDestroyer {
  bool exists = false;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t shape = kRegionRectangle;
};
struct RDeflector {
  bool exists = false;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t kind = kDeflectVertical;
  double friction = 0;
};
struct RChanger {
  bool exists = false;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t shape = kRegionRectangle;
  int32_t partType1 = 0, partType2 = 0;
  int32_t kind = kChangeAll;
};

// Components of one kind in one system: lowest free index on create, destroy clears the flag.
template <class T>
struct ComponentList {
  std::vector<T> items;
  int Create() {
    size_t i = 0;
    while (i < items.size() && items[i].exists) ++i;
    if (i == items.size()) items.emplace_back();
    items[i] = T{};
    items[i].exists = true;
    return static_cast<int>(i);
  }
  T* Get(int id) {
    return id >= 0 && static_cast<size_t>(id) < items.size() && items[id].exists ? &items[id] : nullptr;
  }
  void Destroy(int id) {
    if (T* t = Get(id)) t->exists = false;
  }
  bool Any() const {
    for (const T& t : items)
      if (t.exists) return true;
    return false;
  }
};

class CParticleSystem {
 public:
  RParticleArrays parts;
  ComponentList<REmitter> emitters;
  ComponentList<RAttractor> attractors;
  ComponentList<RDestroyer> destroyers;
  ComponentList<RDeflector> deflectors;
  ComponentList<RChanger> changers;
  bool oldToNew = true;
  double depth = 0;
  double x = 0, y = 0;
  bool automaticUpdate = true;
  bool automaticDraw = true;
  uint64_t serial = 0;     // unique per created system: tells a recreated system from the one that was there
  uint64_t drawnPass = 0;  // the room-drawing pass that last drew it automatically

  // Appends up to `number` particles of type t at (px, py) (nothing for a missing type or a number below 1);
  // with a colour, the new particles take it.
  void CreateParticles(double px, double py, int t, int64_t number, const int32_t* colour = nullptr);
  // One emitter burst of `number` particles of type t (a negative number: one with a chance of 1 in −number).
  void Burst(const REmitter& e, int t, int64_t number);
  // One update: life, motion, deflectors, changers, destroyers, appearance, streams.
  void Update();
  // Everything removed and the settings back to their defaults.
  void Reset();

 private:
  void LifePhase();
  void MotionPhase();
  void DeflectorPhase();
  void ChangerPhase();
  void DestroyerPhase();
  void AppearancePhase();
  void StreamPhase();
};

// The system table. Systems are owned by the table and keep their address while they exist.
int CreateSystem();
void DestroySystem(int id);
bool SystemExists(int id);
CParticleSystem* GetSystem(int id);  // null when the system does not exist
int SystemSlots();                   // table length (existing and free slots)
void ClearSystems();                 // empties the table (tests, program start state)
// Clears a system (particles, components, settings), deferred like a destroy while an update or draw runs.
void ClearSystem(int id);

// Updates every existing system with automatic update, in id order (once per step, from the main loop).
void UpdateAllSystems();
// One update of a system now (part_system_update).
void UpdateSystem(int id);

// While a system is being updated or drawn, destroying or clearing it (or destroying a type) is carried out
// once the update or draw has finished, so nothing works on freed or reset memory.
class BusyScope {
 public:
  BusyScope();
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};
bool Busy();
// Destroys a type now, or after the running update or draw.
void DestroyTypeDeferred(int id);

// Random helpers on the game generator.
// A value between min and max with a distribution; min when max ≤ min.
double RandomBetween(double min, double max, int distribution);
// The triangle wave of the wiggles, for v in [0, 4).
inline double Tri(double v) { return (v > 2 ? 4 - v : v) - 1; }

}  // namespace kv::particles
