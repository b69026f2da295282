// Untextured shapes, the drawing colour and alpha, and the free primitive builder.
#pragma once

#include <cstdint>

namespace kv::gfx {

// Drawing state.
void SetDrawColour(int colour);
void SetDrawAlpha(double alpha);
int DrawColour();
double DrawAlpha();
uint32_t DrawDeviceColour();
void SetCirclePrecision(int n);
int CirclePrecision();
void ResetDrawState();  // black, alpha 1, precision 24, empty builder

void Clear(int colour);
void ClearAlpha(int colour, double alpha);
void Point(double x, double y);
void PointColour(double x, double y, int colour);
void Line(double x1, double y1, double x2, double y2);
void LineColour(double x1, double y1, double x2, double y2, int c1, int c2);
void LineWidth(double x1, double y1, double x2, double y2, double w);
void LineWidthColour(double x1, double y1, double x2, double y2, double w, int c1, int c2);
void Rectangle(double x1, double y1, double x2, double y2, bool outline);
void RectangleColour(double x1, double y1, double x2, double y2, int c1, int c2, int c3, int c4, bool outline);
void RoundRectangle(double x1, double y1, double x2, double y2, bool outline);
void RoundRectangleColour(double x1, double y1, double x2, double y2, int c1, int c2, bool outline);
void Triangle(double x1, double y1, double x2, double y2, double x3, double y3, bool outline);
void TriangleColour(double x1, double y1, double x2, double y2, double x3, double y3, int c1, int c2, int c3,
                    bool outline);
void Circle(double x, double y, double r, bool outline);
void CircleColour(double x, double y, double r, int c1, int c2, bool outline);
void Ellipse(double x1, double y1, double x2, double y2, bool outline);
void EllipseColour(double x1, double y1, double x2, double y2, int c1, int c2, bool outline);
void Arrow(double x1, double y1, double x2, double y2, double size);
void Button(double x1, double y1, double x2, double y2, bool up);
void HealthBar(double x1, double y1, double x2, double y2, double amount, int backColour, int minColour,
               int maxColour, int direction, bool showBack, bool showBorder);

// Primitive builder (kinds 1 … 6; texture id −1 for none; at most 1001 vertices kept).
void BeginPrimitive(int kind, int texture);
void Vertex(double x, double y);
void VertexColour(double x, double y, int colour, double alpha);
void VertexTexture(double x, double y, double u, double v);
void VertexTextureColour(double x, double y, double u, double v, int colour, double alpha);
void EndPrimitive();
int PrimitiveVertexCount();

}  // namespace kv::gfx
