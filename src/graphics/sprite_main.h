#pragma once
// Sprites at run time: the sprite table with one texture per frame, sprites made or changed while the game runs
// ("__newsprite" + index), and the hooks through which fonts, the drawing functions and the instances' collision
// tests reach sprites (InstallSpriteModule).
#include <string>
#include <string_view>

#include "graphics/sprite_class.h"
#include "runner/resource_table.h"

namespace kv::gfx {

// Binds the table (the loaded game's sprites; null = an internal one, for tests) and installs the sprite access
// of the drawing and font code and the pixel-mask tests of the instances.
void InstallSpriteModule(ResourceTable<CSprite>* table);
void BindSpriteTable(ResourceTable<CSprite>* table);
ResourceTable<CSprite>& SpriteTable();
CSprite* GetSprite(int index);
std::string_view SpriteName(int index);  // "<undefined>" when there is no sprite
int FindSprite(std::string_view name);
void ClearSprites();  // frees the textures and empties the table

void PrepareSpriteTextures();  // after the device exists ("Preparing graphics")
void FreeSpriteTextures();     // device going away: the table keeps its sprites
bool MakeSpriteTextures(int index);
// Texture of frame (frame mod count, made non-negative); −1 for a missing sprite or one without frames. Made on
// first use.
int SpriteFrameTexture(int index, int64_t frame);

// A sprite from an image file cut into `frames` parts (see CSprite::SetFromStrip). False leaves it unchanged.
bool LoadSpriteFromFile(CSprite& s, const std::string& path, int frames, bool useAlpha, bool precise,
                        bool transparent, bool smooth, bool preload, int xorigin, int yorigin);

// Table operations; −1 / false on failure (a failed add leaves no entry behind).
int AddSprite(const std::string& path, int frames, bool useAlpha, bool precise, bool transparent, bool smooth,
              bool preload, int xorigin, int yorigin);
bool ReplaceSprite(int index, const std::string& path, int frames, bool useAlpha, bool precise, bool transparent,
                   bool smooth, bool preload, int xorigin, int yorigin);
int AddEmptySprite();
bool DeleteSprite(int index);
int DuplicateSprite(int index);
bool AssignSprite(int dest, int source);
bool MergeSprite(int dest, int source);
bool SetSpriteAlphaFrom(int dest, int source);
int AddSpriteRecord(CSprite record);  // appends a ready record, makes its textures
// Writes one frame (wrapped like a drawn frame) as a PNG or, for a ".bmp" name, a BMP file.
bool SaveSpriteFrame(int index, int64_t frame, const std::string& path, bool insideWorkingDirectory = false);

}  // namespace kv::gfx
