// A full-size "ExpTgrams.txt": 20 categories (400 value columns), maxLag
// 1000, 401 experimental points at increasing lags, values with six
// decimals. About 1.4 MB; its model file is about 3.2 MB.
#pragma once

#include <cstdio>
#include <random>
#include <string>

namespace tgram::testing {

inline std::string fullSizeInput() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(0.0, 1.0);
  std::string text = "20 1000\n400 401\n";
  char field[32];
  for (int e = 0; e <= 400; ++e) {
    text += std::to_string(e * 5 / 2);
    for (int f = 0; f < 400; ++f) {
      std::snprintf(field, sizeof field, " %.6f", value(random));
      text += field;
    }
    text += '\n';
  }
  return text;
}

}  // namespace tgram::testing
