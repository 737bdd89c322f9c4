#pragma once
// What a word tells about the places around it where a cue or a line may break: sentence ends
// (not at an abbreviation, an initial or inside a decimal), clause punctuation, and the English
// words a break must not follow (articles, possessives, subject pronouns, auxiliaries) or may
// well precede (conjunctions, prepositions).

#include <string_view>

namespace tw::subtitles {

// Whether `text` ends a sentence by its punctuation: its last character, after closing quotes
// and brackets, is one of . ! ? … 。 ！ ？
bool ends_sentence(std::string_view text);

// Whether a sentence ends between `word` and the word after it (`next`, empty when unknown or
// none): `word` ends one by its punctuation and is not a title ("Dr.", "Mr."), a Latin
// abbreviation ("e.g.", "i.e."), nor, before a word that starts with a capital, an initial
// ("J."); nor, before a digit, a number's "3."; an abbreviation that may end a sentence
// ("a.m.", "U.S.", "etc.") ends one only before a capital. Unknown `next`: by punctuation.
bool sentence_ends_between(std::string_view word, std::string_view next);

// Whether the sentence end after `word` depends on the word that follows it.
bool sentence_end_needs_next(std::string_view word);

// Whether `text` ends with a clause mark: , ; : – — or their CJK forms 、，；：
bool ends_clause(std::string_view text);

// Whether a break after `text` separates it from the word it belongs to: an article, a
// possessive, a subject pronoun, an auxiliary, a preposition or a conjunction, unpunctuated.
bool binds_to_next(std::string_view text);

// Whether a break before `text` is a natural one: a conjunction or a preposition.
bool opens_phrase(std::string_view text);

// The cost of breaking a cue or a line between `before` and `after` (empty: the end of the
// text): 0 at a sentence end, then clause punctuation, before a conjunction or preposition, a
// plain break, after a word that binds to the next, inside an abbreviation or a number.
inline constexpr double BREAK_AT_SENTENCE_END = 0.0;
inline constexpr double BREAK_AT_CLAUSE = 1.0;
inline constexpr double BREAK_BEFORE_PHRASE = 3.0;
inline constexpr double BREAK_PLAIN = 5.0;
inline constexpr double BREAK_AFTER_BINDING_WORD = 20.0;
inline constexpr double BREAK_INSIDE_ABBREVIATION = 60.0;
double break_cost(std::string_view before, std::string_view after);

}  // namespace tw::subtitles
