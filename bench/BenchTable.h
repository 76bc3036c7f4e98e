#pragma once
// A row of the table `./dev bench` prints after every benchmark ran: each benchmark prints its figures for
// people, and one "row|" line per figure for the table (loop, measured, sleeps, ratio, target, CPU).

#include <cstdio>
#include <string>

namespace qv::bench {

inline std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

inline void tableRow(const std::string& loop, const std::string& measured, const std::string& sleeps,
                     const std::string& ratio, const std::string& target, const std::string& cpu) {
  std::printf("row|%s|%s|%s|%s|%s|%s\n", loop.c_str(), measured.c_str(), sleeps.c_str(), ratio.c_str(), target.c_str(),
              cpu.c_str());
  std::fflush(stdout);
}

}  // namespace qv::bench
