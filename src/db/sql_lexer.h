// Splits Jet SQL text into tokens: names (bare or in [brackets]), numbers, 'text', #dates#, symbols.
// The lexer never fails; malformed pieces come out as Invalid tokens for the parser to report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace db::sql {

struct Token {
  enum class Kind {
    Name,     // text: the name; bracketed tells [Name] (never a keyword)
    Number,   // text: as written
    String,   // text: the content, doubled quotes undone
    Date,     // text: what stood between the # signs
    Symbol,   // text: = <> < > <= >= ( ) , * + - / \ & ; .
    Invalid,  // an unterminated string, bracket or date, or a stray character
    End,
  };

  Kind kind = Kind::End;
  std::string text;
  bool bracketed = false;
  size_t offset = 0;  // where the token starts in the source

  // A bare name equal to kw, ignoring case (kw in upper case).
  bool isKeyword(std::string_view kw) const;
  bool isSymbol(std::string_view s) const { return kind == Kind::Symbol && text == s; }
};

// The tokens of text, always ending with one End token.
std::vector<Token> tokenize(std::string_view text);

}  // namespace db::sql
