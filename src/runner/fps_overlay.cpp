#include "runner/fps_overlay.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace kv {

namespace {

constexpr int kGlyphW = 3, kGlyphH = 5, kZoom = 2, kPad = 3, kGap = 1;
constexpr uint32_t kBoxColour = 0xC0000000u, kTextColour = 0xFFFFFFFFu;

// Rows of a 3 × 5 glyph, the high bit of three on the left.
std::optional<std::array<uint8_t, kGlyphH>> Glyph(char c) {
  switch (c) {
    case '0': return std::array<uint8_t, 5>{7, 5, 5, 5, 7};
    case '1': return std::array<uint8_t, 5>{2, 6, 2, 2, 7};
    case '2': return std::array<uint8_t, 5>{7, 1, 7, 4, 7};
    case '3': return std::array<uint8_t, 5>{7, 1, 7, 1, 7};
    case '4': return std::array<uint8_t, 5>{5, 5, 7, 1, 1};
    case '5': return std::array<uint8_t, 5>{7, 4, 7, 1, 7};
    case '6': return std::array<uint8_t, 5>{7, 4, 7, 5, 7};
    case '7': return std::array<uint8_t, 5>{7, 1, 1, 1, 1};
    case '8': return std::array<uint8_t, 5>{7, 5, 7, 5, 7};
    case '9': return std::array<uint8_t, 5>{7, 5, 7, 1, 7};
    case 'f': return std::array<uint8_t, 5>{3, 4, 6, 4, 4};
    case 'p': return std::array<uint8_t, 5>{7, 5, 7, 4, 4};
    case 's': return std::array<uint8_t, 5>{3, 4, 2, 1, 6};
    default: return std::nullopt;  // a space
  }
}

uint32_t Blend(uint32_t dst, uint32_t src) {
  const uint32_t a = src >> 24;
  auto channel = [&](int shift) {
    const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    return ((s * a + d * (255 - a) + 127) / 255) << shift;
  };
  return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// Forwards everything to the real device and remembers the state the game set, so a present can draw the
// overlay and put everything back.
class FpsOverlayGpu final : public plat::IGpuDevice {
 public:
  FpsOverlayGpu(std::unique_ptr<plat::IGpuDevice> device, std::function<int()> fps)
      : gpu_(std::move(device)), fps_(std::move(fps)) {}

  bool Create(int w, int h, bool depth, std::string& error) override {
    Forget();
    renderW_ = w, renderH_ = h;
    return gpu_->Create(w, h, depth, error);
  }
  bool Reset(bool depth) override { return gpu_->Reset(depth); }
  void Release() override {
    Forget();
    gpu_->Release();
  }
  bool Exists() const override { return gpu_->Exists(); }
  void SetRenderSize(int w, int h) override {
    renderW_ = w, renderH_ = h;
    gpu_->SetRenderSize(w, h);
  }
  int MaxTextureSize() const override { return gpu_->MaxTextureSize(); }
  plat::TextureHandle CreateTexture(int w, int h, bool target, int& gw, int& gh) override {
    return gpu_->CreateTexture(w, h, target, gw, gh);
  }
  bool Upload(plat::TextureHandle tex, int w, int h, const uint32_t* pixels) override {
    return gpu_->Upload(tex, w, h, pixels);
  }
  void FreeTexture(plat::TextureHandle tex) override { gpu_->FreeTexture(tex); }
  bool SetTarget(plat::TextureHandle target) override {
    target_ = target;
    return gpu_->SetTarget(target);
  }
  void SetViewport(const plat::IntRect& r) override {
    viewport_ = r;
    gpu_->SetViewport(r);
  }
  void SetTransform(plat::TransformKind which, const plat::Matrix4& m) override {
    transforms_[static_cast<size_t>(which)] = m;
    gpu_->SetTransform(which, m);
  }
  void SetStates(const plat::RenderStates& s) override {
    states_ = s;
    gpu_->SetStates(s);
  }
  void BindTexture(plat::TextureHandle tex) override {
    texture_ = tex;
    gpu_->BindTexture(tex);
  }
  void Draw(plat::PrimKind kind, bool textured, const plat::Vertex* v, int count, bool atlasOk) override {
    gpu_->Draw(kind, textured, v, count, atlasOk);
  }
  void Clear(uint32_t argb, bool colour, bool depth) override { gpu_->Clear(argb, colour, depth); }
  void Draw3D(plat::PrimKind kind, bool textured, const plat::Vertex3D* v, int count) override {
    gpu_->Draw3D(kind, textured, v, count);
  }
  void SetLight(int index, const plat::Light& light) override { gpu_->SetLight(index, light); }
  void EnableLight(int index, bool on) override { gpu_->EnableLight(index, on); }
  bool Read(plat::TextureHandle from, const plat::IntRect& r, std::vector<uint32_t>& out) override {
    return gpu_->Read(from, r, out);
  }
  bool Copy(plat::TextureHandle source, const plat::IntRect& r, plat::TextureHandle dest, int x, int y) override {
    return gpu_->Copy(source, r, dest, x, y);
  }

  bool Present(const plat::IntRect& source, const plat::IntRect& dest, int cw, int ch, uint32_t colour,
               bool vsync) override {
    const int fps = fps_ ? fps_() : 0;
    if (fps != shownFps_ || image_.width == 0) {
      image_ = FpsOverlayImage(fps);
      shownFps_ = fps;
      overlayDirty_ = true;
    }
    const plat::IntRect box{kFpsOverlayX, kFpsOverlayY, std::min(image_.width, renderW_ - kFpsOverlayX),
                            std::min(image_.height, renderH_ - kFpsOverlayY)};
    if (box.w <= 0 || box.h <= 0 || !gpu_->Exists()) return gpu_->Present(source, dest, cw, ch, colour, vsync);
    std::vector<uint32_t> covered;
    const bool saved = gpu_->Read(plat::kBackBuffer, box, covered) && covered.size() >= size_t(box.w) * box.h;
    if (!saved) return gpu_->Present(source, dest, cw, ch, colour, vsync);  // never leave the overlay behind

    if (!EnsureTexture(overlayTex_, overlayW_, overlayH_, image_.width, image_.height))
      return gpu_->Present(source, dest, cw, ch, colour, vsync);
    if (overlayDirty_) gpu_->Upload(overlayTex_, image_.width, image_.height, image_.pixels.data());
    overlayDirty_ = false;
    DrawBox(overlayTex_, overlayW_, overlayH_, box, true);
    const bool ok = gpu_->Present(source, dest, cw, ch, colour, vsync);
    if (EnsureTexture(restoreTex_, restoreW_, restoreH_, box.w, box.h)) {
      gpu_->Upload(restoreTex_, box.w, box.h, covered.data());
      DrawBox(restoreTex_, restoreW_, restoreH_, box, false);
    }
    RestoreState();
    return ok;
  }

 private:
  void Forget() {
    overlayTex_ = restoreTex_ = plat::kNoTexture;
    overlayDirty_ = true;
  }

  // A texture of at least w × h; a new one needs its pixels again.
  bool EnsureTexture(plat::TextureHandle& tex, int& gw, int& gh, int w, int h) {
    if (tex != plat::kNoTexture && (w > gw || h > gh)) {
      gpu_->FreeTexture(tex);
      tex = plat::kNoTexture;
    }
    if (tex == plat::kNoTexture) {
      tex = gpu_->CreateTexture(w, h, false, gw, gh);
      if (&tex == &overlayTex_) overlayDirty_ = true;
    }
    return tex != plat::kNoTexture;
  }

  // The texture's top-left box.w × box.h texels one to one onto the box of the frame.
  void DrawBox(plat::TextureHandle tex, int gw, int gh, const plat::IntRect& box, bool blend) {
    gpu_->SetTarget(plat::kBackBuffer);
    gpu_->SetViewport({0, 0, renderW_, renderH_});
    gpu_->SetTransform(plat::TransformKind::World, plat::Matrix4::Identity());
    gpu_->SetTransform(plat::TransformKind::View, plat::Matrix4::Identity());
    plat::Matrix4 proj;  // frame pixels, top row first (the device's own convention), depth fixed at 0.5
    proj.m[0][0] = 2.0f / static_cast<float>(renderW_);
    proj.m[1][1] = -2.0f / static_cast<float>(renderH_);
    proj.m[3][0] = -1.0f;
    proj.m[3][1] = 1.0f;
    proj.m[3][2] = 0.5f;
    proj.m[3][3] = 1.0f;
    gpu_->SetTransform(plat::TransformKind::Projection, proj);
    plat::RenderStates s;
    s.alphaBlend = blend;
    s.linearFilter = false;
    s.modulate = true;
    gpu_->SetStates(s);
    gpu_->BindTexture(tex);
    // Pixel centres are on integer coordinates: the quad's edges lie half a pixel outside them.
    const float l = static_cast<float>(box.x) - 0.5f, t = static_cast<float>(box.y) - 0.5f;
    const float r = l + static_cast<float>(box.w), b = t + static_cast<float>(box.h);
    const float u = static_cast<float>(box.w) / static_cast<float>(gw);
    const float v = static_cast<float>(box.h) / static_cast<float>(gh);
    const plat::Vertex quad[4] = {{l, t, 0, kTextColour, 0, 0},
                                  {r, t, 0, kTextColour, u, 0},
                                  {r, b, 0, kTextColour, u, v},
                                  {l, b, 0, kTextColour, 0, v}};
    gpu_->Draw(plat::PrimKind::TriangleFan, true, quad, 4);
  }

  void RestoreState() {
    gpu_->SetTarget(target_);
    if (viewport_) gpu_->SetViewport(*viewport_);
    for (size_t i = 0; i < transforms_.size(); ++i)
      if (transforms_[i]) gpu_->SetTransform(static_cast<plat::TransformKind>(i), *transforms_[i]);
    if (states_) gpu_->SetStates(*states_);
    gpu_->BindTexture(texture_);
  }

  std::unique_ptr<plat::IGpuDevice> gpu_;
  std::function<int()> fps_;
  int renderW_ = 0, renderH_ = 0;
  // The state the game last set.
  plat::TextureHandle target_ = plat::kBackBuffer, texture_ = plat::kNoTexture;
  std::optional<plat::IntRect> viewport_;
  std::array<std::optional<plat::Matrix4>, 3> transforms_;
  std::optional<plat::RenderStates> states_;
  // The overlay and the frame's pixels under it.
  CBitmap32 image_;
  int shownFps_ = -1;
  bool overlayDirty_ = true;
  plat::TextureHandle overlayTex_ = plat::kNoTexture, restoreTex_ = plat::kNoTexture;
  int overlayW_ = 0, overlayH_ = 0, restoreW_ = 0, restoreH_ = 0;
};

}  // namespace

CBitmap32 FpsOverlayImage(int fps) {
  const std::string text = std::to_string(std::clamp(fps, 0, 9999)) + " fps";
  const int advance = (kGlyphW + kGap) * kZoom;
  const int width = 2 * kPad + static_cast<int>(text.size()) * advance - kGap * kZoom;
  const int height = 2 * kPad + kGlyphH * kZoom;
  CBitmap32 image = CBitmap32::Make(width, height, kBoxColour);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto glyph = Glyph(text[i]);
    if (!glyph) continue;
    for (int row = 0; row < kGlyphH; ++row)
      for (int col = 0; col < kGlyphW; ++col) {
        if (!(((*glyph)[row] >> (kGlyphW - 1 - col)) & 1)) continue;
        for (int dy = 0; dy < kZoom; ++dy)
          for (int dx = 0; dx < kZoom; ++dx) {
            const int x = kPad + static_cast<int>(i) * advance + col * kZoom + dx, y = kPad + row * kZoom + dy;
            image.pixels[static_cast<size_t>(y) * width + x] = kTextColour;
          }
      }
  }
  return image;
}

void BlendOverlay(CBitmap32& frame, const CBitmap32& overlay, int x, int y) {
  for (int oy = 0; oy < overlay.height; ++oy) {
    const int fy = y + oy;
    if (fy < 0 || fy >= frame.height) continue;
    for (int ox = 0; ox < overlay.width; ++ox) {
      const int fx = x + ox;
      if (fx < 0 || fx >= frame.width) continue;
      uint32_t& p = frame.pixels[static_cast<size_t>(fy) * frame.width + fx];
      p = Blend(p, overlay.Pixel(ox, oy));
    }
  }
}

std::unique_ptr<plat::IGpuDevice> WithFpsOverlay(std::unique_ptr<plat::IGpuDevice> device, std::function<int()> fps) {
  if (!device) return device;
  return std::make_unique<FpsOverlayGpu>(std::move(device), std::move(fps));
}

}  // namespace kv
