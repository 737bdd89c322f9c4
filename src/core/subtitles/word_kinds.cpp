#include "core/subtitles/word_kinds.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <string>

namespace tw::subtitles {
namespace {

constexpr std::string_view SENTENCE_ENDS[] = {".",      "!",      "?",     "\u2026",
                                              "\u3002", "\uFF01", "\uFF1F"};
constexpr std::string_view CLOSERS[] = {"\"",     "'",      ")",      "]",     "}",
                                        "\u2019", "\u201D", "\u00BB", "\u300D"};
constexpr std::string_view CLAUSE_ENDS[] = {",", ";",      ":",      "\u2013", "\u2014",
                                            "-", "\u3001", "\uFF0C", "\uFF1B", "\uFF1A"};

// Never the end of a sentence: titles before a name...
constexpr std::string_view TITLES[] = {"dr.",  "mr.",  "mrs.", "ms.",  "prof.",
                                       "st.",  "mt.",  "ft.",  "sgt.", "capt.",
                                       "gen.", "gov.", "sen.", "rep.", "rev."};
// ...and Latin abbreviations inside one.
constexpr std::string_view LATIN[] = {"e.g.", "i.e.", "vs.", "cf.", "viz."};
// The end of a sentence only before a capital: they often end one too.
constexpr std::string_view MAYBE_ENDING[] = {"a.m.", "p.m.", "u.s.",    "u.k.", "u.n.",
                                             "etc.", "inc.", "ltd.",    "jr.",  "sr.",
                                             "co.",  "no.",  "approx.", "dept."};

constexpr std::string_view BINDING[] = {
    // articles and possessives
    "a", "an", "the", "my", "your", "his", "her", "its", "our", "their", "this", "these",
    // subject pronouns
    "i", "we", "they", "he", "she",
    // auxiliaries and their contractions
    "am", "is", "are", "was", "were", "be", "been", "have", "has", "had", "do", "does", "did",
    "will", "would", "can", "could", "shall", "should", "may", "might", "must", "i'm", "i've",
    "i'll", "i'd", "we're", "they're", "don't"};
constexpr std::string_view PHRASE_OPENERS[] = {
    // conjunctions
    "and", "but", "or", "nor", "so", "yet", "because", "although", "though", "while", "when",
    "whereas", "unless", "until", "if", "than", "that", "which", "who", "where",
    // prepositions
    "of", "to", "in", "on", "at", "for", "with", "from", "by", "about", "into", "onto", "over",
    "under", "after", "before", "between", "through", "during", "without"};

bool strip_suffix(std::string_view& text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return false;
  text.remove_suffix(suffix.size());
  return true;
}

bool ends_with_letter_or_digit(std::string_view text) {
  return !text.empty() && std::isalnum(static_cast<unsigned char>(text.back()));
}

std::string_view without_closers(std::string_view text) {
  if (ends_with_letter_or_digit(text)) return text;  // most words: nothing to strip
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (std::string_view closer : CLOSERS) stripped = stripped || strip_suffix(text, closer);
  }
  return text;
}

// `text` in ASCII lower case, the typographic apostrophe as ASCII, without opening quotes or
// brackets.
std::string folded(std::string_view text) {
  while (!text.empty() && (text.front() == '"' || text.front() == '(' || text.front() == '\'')) {
    text.remove_prefix(1);
  }
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i).starts_with("\u2019")) {
      out += '\'';
      i += 2;
    } else {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
  }
  return out;
}

bool listed(std::span<const std::string_view> list, std::string_view word) {
  if (word.size() > 8) return false;  // longer than any listed word
  return std::ranges::find(list, word) != list.end();
}

bool starts_with_capital(std::string_view text) {
  while (!text.empty() && (text.front() == '"' || text.front() == '(' || text.front() == '\'')) {
    text.remove_prefix(1);
  }
  return !text.empty() && std::isupper(static_cast<unsigned char>(text.front()));
}

bool starts_with_digit(std::string_view text) {
  return !text.empty() && std::isdigit(static_cast<unsigned char>(text.front()));
}

// "J." or "J.R.R.": letters each followed by a full stop.
bool is_initial(std::string_view text) {
  if (text.size() < 2 || text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    if (!std::isalpha(static_cast<unsigned char>(text[i])) || text[i + 1] != '.') return false;
  }
  return true;
}

bool is_number_with_stop(std::string_view text) {
  return text.size() >= 2 && text.back() == '.' &&
         std::all_of(text.begin(), text.end() - 1,
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

bool ends_sentence(std::string_view text) {
  text = without_closers(text);
  if (ends_with_letter_or_digit(text)) return false;
  return std::ranges::any_of(SENTENCE_ENDS,
                             [&](std::string_view end) { return text.ends_with(end); });
}

bool sentence_end_needs_next(std::string_view word) {
  if (!ends_sentence(word)) return false;
  const std::string key = folded(word);
  return listed(MAYBE_ENDING, key) || is_initial(word) || is_number_with_stop(word);
}

bool sentence_ends_between(std::string_view word, std::string_view next) {
  if (!ends_sentence(word)) return false;
  const std::string key = folded(word);
  if (listed(TITLES, key) || listed(LATIN, key)) return false;
  if (listed(MAYBE_ENDING, key)) return starts_with_capital(next);
  if (is_initial(word)) return !starts_with_capital(next);
  if (is_number_with_stop(word)) return !starts_with_digit(next);
  return true;
}

bool ends_clause(std::string_view text) {
  text = without_closers(text);
  if (ends_with_letter_or_digit(text)) return false;
  return std::ranges::any_of(CLAUSE_ENDS, [&](std::string_view end) {
    return text.ends_with(end) && text.size() > end.size();
  });
}

bool binds_to_next(std::string_view text) {
  if (text.size() > 12 || ends_sentence(text) || ends_clause(text)) return false;
  const std::string key = folded(text);
  return listed(BINDING, key) || listed(PHRASE_OPENERS, key);
}

bool opens_phrase(std::string_view text) {
  return text.size() <= 10 && listed(PHRASE_OPENERS, folded(text));
}

double break_cost(std::string_view before, std::string_view after) {
  if (ends_sentence(before)) {
    const std::string key = folded(before);
    const bool title = listed(TITLES, key);
    if (after.empty() ? !title && !listed(LATIN, key) : sentence_ends_between(before, after)) {
      return BREAK_AT_SENTENCE_END;
    }
    // A title or an initial belongs to the name after it, a number's stop to its decimals; a
    // Latin abbreviation leads what follows; "a.m." or "U.S." inside a sentence is a word.
    if (title || is_initial(before) || is_number_with_stop(before))
      return BREAK_INSIDE_ABBREVIATION;
    return listed(LATIN, key) ? BREAK_AFTER_BINDING_WORD : BREAK_PLAIN;
  }
  if (ends_clause(before)) return BREAK_AT_CLAUSE;
  if (binds_to_next(before)) return BREAK_AFTER_BINDING_WORD;
  if (opens_phrase(after)) return BREAK_BEFORE_PHRASE;
  return BREAK_PLAIN;
}

}  // namespace tw::subtitles
