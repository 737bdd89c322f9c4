#include "core/subtitles/line_breaker.h"

#include <algorithm>
#include <limits>

#include "core/subtitles/display_width.h"
#include "core/subtitles/word_kinds.h"

namespace tw::subtitles {
namespace {

constexpr double INFEASIBLE = std::numeric_limits<double>::infinity();
// A line wider than the line below it costs this much for a whole line's width of difference.
constexpr double TOP_HEAVY_COST = 6.0;
// A bottom line much wider than the top costs a little, so balanced lines win a tie.
constexpr double UNBALANCED_COST = 1.0;
constexpr double LONE_WORD_COST = 40.0;

}  // namespace

void LineFill::add(const CueWord& word) {
  const std::size_t width = display_width(word.text);
  const bool first = last_.empty();
  const std::size_t added = first ? width : added_width(last_, word.text);
  total_width_ += added;
  if (!first && line_width_ + added <= max_width_) {
    line_width_ += added;
  } else {
    ++lines_;
    line_width_ = width;
  }
  last_ = word.text;
}

std::size_t lines_needed(std::span<const CueWord> words, std::size_t max_width) {
  LineFill fill(max_width);
  for (const CueWord& word : words) fill.add(word);
  return fill.lines();
}

std::vector<std::size_t> line_starts(std::span<const CueWord> words, std::size_t max_width,
                                     std::size_t max_lines) {
  const std::size_t n = words.size();
  const std::size_t lines = std::max<std::size_t>(lines_needed(words, max_width), 1);
  if (lines == 1 || lines > max_lines) {
    // One line, or more than allowed: the greedy fill, which is the fewest lines.
    std::vector<std::size_t> starts = {0};
    LineFill fill(max_width);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t before = fill.lines();
      fill.add(words[i]);
      if (i > 0 && fill.lines() != before) starts.push_back(i);
    }
    return starts;
  }
  // offset[i]: the columns of words[0..i) on one line, so a line [i, j) is offset[j] -
  // offset[i] minus the blank before words[i].
  std::vector<std::size_t> offset(n + 1, 0), width(n);
  std::vector<double> break_before(n, 0.0);  // the cost of a break before words[i]
  for (std::size_t i = 0; i < n; ++i) {
    width[i] = display_width(words[i].text);
    offset[i + 1] = offset[i] + width[i];
    if (i > 0) {
      offset[i + 1] += joins_without_blank(words[i - 1].text, words[i].text) ? 0 : 1;
      break_before[i] = break_cost(words[i - 1].text, words[i].text);
    }
  }
  auto width_of = [&](std::size_t i, std::size_t j) {
    return offset[j] - offset[i + 1] + width[i];
  };
  auto fits = [&](std::size_t i, std::size_t j) {
    return j - i == 1 || width_of(i, j) <= max_width;
  };

  // best[l][j]: the cost of words[0..j) in l lines ending with a line that ends at j;
  // from[l][j]: where that last line starts.
  std::vector<std::vector<double>> best(lines + 1, std::vector<double>(n + 1, INFEASIBLE));
  std::vector<std::vector<std::size_t>> from(lines + 1, std::vector<std::size_t>(n + 1, 0));
  for (std::size_t j = 1; j <= n; ++j) {
    if (fits(0, j)) best[1][j] = 0.0;
  }
  for (std::size_t l = 2; l <= lines; ++l) {
    for (std::size_t j = l; j <= n; ++j) {
      for (std::size_t i = l - 1; i < j; ++i) {
        if (!fits(i, j)) continue;
        const std::size_t k = from[l - 1][i];
        if (best[l - 1][i] == INFEASIBLE) continue;
        const double above = static_cast<double>(width_of(k, i));
        const double below = static_cast<double>(width_of(i, j));
        const double max = static_cast<double>(max_width);
        double cost = best[l - 1][i] + break_before[i];
        if (above > below)
          cost += TOP_HEAVY_COST * (above - below) / max;
        else
          cost += UNBALANCED_COST * (below - above) / max;
        if ((i - k == 1 || j - i == 1) && n > lines) cost += LONE_WORD_COST;
        if (cost < best[l][j]) {
          best[l][j] = cost;
          from[l][j] = i;
        }
      }
    }
  }
  std::vector<std::size_t> starts(lines, 0);
  for (std::size_t l = lines, j = n; l > 1; --l) {
    starts[l - 1] = from[l][j];
    j = from[l][j];
  }
  return starts;
}

std::vector<std::string> break_lines(std::span<const CueWord> words, std::size_t max_width,
                                     std::size_t max_lines) {
  const std::vector<std::size_t> starts = line_starts(words, max_width, max_lines);
  std::vector<std::string> lines;
  for (std::size_t l = 0; l < starts.size(); ++l) {
    const std::size_t end = l + 1 < starts.size() ? starts[l + 1] : words.size();
    lines.push_back(join_words(words.subspan(starts[l], end - starts[l])));
  }
  return lines;
}

}  // namespace tw::subtitles
