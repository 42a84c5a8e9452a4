// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/readable_color.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace voltare::gui {

namespace {

constexpr double kReadableContrast = 4.5;

double Luminance(const QColor& color) {
  const auto linear = [](double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = color.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

}  // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
  const double a = Luminance(first), b = Luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor ReadableOn(const QColor& ink, const QColor& background) {
  if (ContrastRatio(ink, background) >= kReadableContrast) return ink;
  // Keep the hue and move the lightness away from the background's, in
  // small steps, so the colour stays recognisably the same.
  const bool darkBackground = Luminance(background) < 0.18;
  QColor color = ink.toHsl();
  for (int step = 0; step < 100 && ContrastRatio(color, background) < kReadableContrast; ++step) {
    const float lightness = std::clamp(color.lightnessF() + (darkBackground ? 0.01F : -0.01F), 0.0F, 1.0F);
    color.setHslF(color.hslHueF(), color.hslSaturationF(), lightness);
  }
  return color.toRgb();
}

void SetReadableTextColor(QWidget& label, const QColor& ink) {
  const QColor background = label.palette().color(label.backgroundRole());
  label.setStyleSheet(QStringLiteral("color: %1;").arg(ReadableOn(ink, background).name()));
}

}  // namespace voltare::gui
