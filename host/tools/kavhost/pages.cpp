#include "kavhost/pages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kav::tools {
namespace {

// A small fixed-seed generator, so the sample page is the same on every run.
uint32_t Mix(uint32_t value) {
  value ^= value >> 16;
  value *= 0x7FEB352Du;
  value ^= value >> 15;
  value *= 0x846CA68Bu;
  value ^= value >> 16;
  return value;
}

struct Rgb {
  uint8_t r, g, b;
};

constexpr Rgb kPatchColors[] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0}, {128, 128, 128},
};

}  // namespace

PicturePage::PicturePage(const Image& picture, uint32_t width, uint32_t height)
    : host::PageSource(width, height), picture_(picture) {}

void PicturePage::Row(uint32_t y, uint8_t* rgb) const {
  std::memset(rgb, 255, static_cast<size_t>(width()) * 3);
  if (y >= picture_.height) return;
  const uint32_t count = std::min(width(), picture_.width);
  const uint8_t* source = picture_.Row(y);
  if (picture_.channels == 3) {
    std::memcpy(rgb, source, static_cast<size_t>(count) * 3);
    return;
  }
  for (uint32_t x = 0; x < count; ++x) std::memset(rgb + 3 * x, source[x], 3);
}

SamplePage::SamplePage(uint32_t width, uint32_t height, uint32_t dpi) : host::PageSource(width, height), dpi_(dpi) {
  const double right = static_cast<double>(width) * 25.4 / dpi;
  frame_ = {Px(5), Px(5), Px(right - 5), static_cast<int64_t>(height) - Px(5)};
  frameThickness_ = std::max<int64_t>(Px(1.5), 1);
  // Eight lines of "words", each word a run of letter-sized marks.
  for (int line = 0; line < 8; ++line) {
    const double top = 15 + line * 7.0;
    textLines_.push_back({Px(15), Px(top), Px(right - 15), Px(top + 3.5)});
    std::vector<Span> spans;
    double x = 15;
    for (uint32_t word = 0; x < right - 20; ++word) {
      const uint32_t random = Mix(static_cast<uint32_t>(line) * 1000 + word);
      const int letters = 2 + static_cast<int>(random % 9);
      for (int letter = 0; letter < letters && x + 2 < right - 15; ++letter) {
        spans.push_back({Px(x), Px(x + 1.6)});
        x += 2.1;
      }
      x += 2.5;
    }
    words_.push_back(std::move(spans));
  }
  ramp_ = {Px(15), Px(75), Px(right - 15), Px(95)};
  const double patchWidth = (right - 30) / 8;
  for (int i = 0; i < 8; ++i) {
    patches_.push_back({Px(15 + i * patchWidth + 1), Px(100), Px(15 + (i + 1) * patchWidth - 1), Px(120)});
  }
  field_ = {Px(15), Px(125), Px(right - 15), Px(175)};
  // Across the whole surface, so that its bands are noise from edge to edge.
  noise_ = {0, Px(180), static_cast<int64_t>(width), Px(195)};
}

int64_t SamplePage::Px(double millimetres) const { return std::llround(millimetres * dpi_ / 25.4); }

void SamplePage::Fill(uint8_t* rgb, int64_t x0, int64_t x1, uint8_t r, uint8_t g, uint8_t b) const {
  x0 = std::max<int64_t>(x0, 0);
  x1 = std::min<int64_t>(x1, width());
  for (int64_t x = x0; x < x1; ++x) {
    rgb[3 * x] = r;
    rgb[3 * x + 1] = g;
    rgb[3 * x + 2] = b;
  }
}

void SamplePage::Row(uint32_t y, uint8_t* rgb) const {
  std::memset(rgb, 255, static_cast<size_t>(width()) * 3);
  const int64_t row = y;
  auto inside = [row](const Box& box) { return row >= box.y0 && row < box.y1; };
  if (inside(frame_)) {
    if (row < frame_.y0 + frameThickness_ || row >= frame_.y1 - frameThickness_) {
      Fill(rgb, frame_.x0, frame_.x1, 0, 0, 0);
    } else {
      Fill(rgb, frame_.x0, frame_.x0 + frameThickness_, 0, 0, 0);
      Fill(rgb, frame_.x1 - frameThickness_, frame_.x1, 0, 0, 0);
    }
  }
  for (size_t line = 0; line < textLines_.size(); ++line) {
    if (!inside(textLines_[line])) continue;
    for (const Span& span : words_[line]) Fill(rgb, span.x0, span.x1, 20, 20, 20);
  }
  if (inside(ramp_)) {
    const int64_t across = std::max<int64_t>(ramp_.x1 - ramp_.x0 - 1, 1);
    for (int64_t x = std::max<int64_t>(ramp_.x0, 0); x < std::min<int64_t>(ramp_.x1, width()); ++x) {
      const auto level = static_cast<uint8_t>((x - ramp_.x0) * 255 / across);
      Fill(rgb, x, x + 1, level, level, level);
    }
  }
  for (size_t i = 0; i < patches_.size(); ++i) {
    if (inside(patches_[i]))
      Fill(rgb, patches_[i].x0, patches_[i].x1, kPatchColors[i].r, kPatchColors[i].g, kPatchColors[i].b);
  }
  if (inside(field_)) {
    const double fy = static_cast<double>(row - field_.y0) / std::max<int64_t>(field_.y1 - field_.y0, 1);
    for (int64_t x = std::max<int64_t>(field_.x0, 0); x < std::min<int64_t>(field_.x1, width()); ++x) {
      const double fx = static_cast<double>(x - field_.x0) / std::max<int64_t>(field_.x1 - field_.x0, 1);
      const auto r = static_cast<uint8_t>(255 * fx);
      const auto g = static_cast<uint8_t>(255 * fy);
      const auto b = static_cast<uint8_t>(127.5 + 127.5 * std::sin(6.2831853 * (fx + fy)));
      Fill(rgb, x, x + 1, r, g, b);
    }
  }
  if (inside(noise_)) {
    for (int64_t x = std::max<int64_t>(noise_.x0, 0); x < std::min<int64_t>(noise_.x1, width()); ++x) {
      const auto level = static_cast<uint8_t>(Mix(static_cast<uint32_t>(row * 65521 + x)) & 0xFF);
      Fill(rgb, x, x + 1, level, level, level);
    }
  }
}

}  // namespace kav::tools
