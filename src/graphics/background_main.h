// Backgrounds at run time: the background table with a texture per background, backgrounds made or changed while
// the game runs, and the drawing forms (plain, scaled and rotated, stretched, part, general, tiled).
#pragma once

#include <string>
#include <string_view>

#include "graphics/background_class.h"
#include "runner/resource_table.h"

namespace kv::gfx {

// The table in use: the loaded game's backgrounds (bound by the runner) or, unbound, an internal one (tests).
void BindBackgroundTable(ResourceTable<CBackground>* table);
ResourceTable<CBackground>& Backgrounds();
bool BackgroundExists(int index);
CBackground* GetBackground(int index);
std::string_view BackgroundName(int index);
int FindBackground(std::string_view name);
void ClearBackgrounds();  // frees the textures and empties the table

void PrepareBackgroundTextures();  // after the device exists ("Preparing graphics")
void FreeBackgroundTextures();     // device going away: the table keeps its backgrounds
bool MakeBackgroundTexture(int index);
int BackgroundTexture(int index);  // −1 when the background or its image does not exist; made on first use

// Changing a background record (its texture is re-made by the table operations below).
bool LoadBackgroundFromFile(CBackground& b, const std::string& path, bool useAlpha, bool transparent, bool smooth,
                            bool preload);
void SetBackgroundSolid(CBackground& b, int width, int height, int colour, bool preload);

// Table operations of backgrounds made while the game runs ("__newbackground" + index). −1 / false on failure.
int AddBackground(const std::string& path, bool transparent, bool smooth, bool preload);
int AddBackgroundAlpha(const std::string& path, bool preload);
bool ReplaceBackground(int index, const std::string& path, bool transparent, bool smooth, bool preload);
int AddEmptyBackground();
bool DeleteBackground(int index);
int DuplicateBackground(int index);
bool AssignBackground(int dest, int source);
int AddBackgroundRecord(CBackground record);  // appends a ready record, makes its texture

// Drawing forms; angles in degrees, colours are script colours. A missing background draws nothing.
void DrawBackground(int index, double x, double y);
void DrawBackgroundExt(int index, double x, double y, double xscale, double yscale, double angle, int colour,
                       double alpha);
void DrawBackgroundStretched(int index, double x, double y, double w, double h, int colour, double alpha);
void DrawBackgroundPart(int index, double left, double top, double width, double height, double x, double y,
                        double xscale, double yscale, int colour, double alpha);
void DrawBackgroundGeneral(int index, double left, double top, double width, double height, double x, double y,
                           double xscale, double yscale, double angle, int c1, int c2, int c3, int c4, double alpha);
// Tiled in both directions (or as asked) over the region (left, top, width, height).
void DrawBackgroundTiled(int index, double x, double y, double xscale, double yscale, int colour, double alpha,
                         double regionLeft, double regionTop, double regionWidth, double regionHeight,
                         bool htiled = true, bool vtiled = true);

}  // namespace kv::gfx
