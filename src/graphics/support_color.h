// Script colour arithmetic: channels, HSV and merging (colours are red + green×256 + blue×65536).
#pragma once

namespace kv::gfx {

int MakeColourRgb(double r, double g, double b);  // no clamping: (300, 0, 0) is 300
int ColourGetRed(double c);
int ColourGetGreen(double c);
int ColourGetBlue(double c);
int MakeColourHsv(double h, double s, double v);
int ColourGetHue(double c);
int ColourGetSaturation(double c);
int ColourGetValue(double c);
int MergeColour(int c1, int c2, double t);  // per channel round((1 − t)·c1 + t·c2)

}  // namespace kv::gfx
