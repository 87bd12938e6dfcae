#include "db/sql_lexer.h"

#include <cctype>

namespace db::sql {
namespace {

bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool isNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

}  // namespace

bool Token::isKeyword(std::string_view kw) const {
  if (kind != Kind::Name || bracketed || text.size() != kw.size()) return false;
  for (size_t i = 0; i < kw.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != kw[i]) return false;
  }
  return true;
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  while (true) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    Token t;
    t.offset = i;
    if (i >= s.size()) {
      out.push_back(t);
      return out;
    }
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (isNameStart(c)) {
      t.kind = Token::Kind::Name;
      while (i < s.size() && isNameChar(static_cast<unsigned char>(s[i]))) t.text += s[i++];
    } else if (c == '[') {
      const size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) {
        t.kind = Token::Kind::Invalid;
        t.text = std::string(s.substr(i));
        i = s.size();
      } else {
        t.kind = Token::Kind::Name;
        t.bracketed = true;
        t.text = std::string(s.substr(i + 1, close - i - 1));
        i = close + 1;
      }
    } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      t.kind = Token::Kind::Number;
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      if (i < s.size() && s[i] == '.') {
        t.text += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      }
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
          while (i < j) t.text += s[i++];
          while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
        }
      }
      // A name glued to a number ("12abc") is malformed.
      if (i < s.size() && isNameChar(static_cast<unsigned char>(s[i]))) {
        t.kind = Token::Kind::Invalid;
        while (i < s.size() && isNameChar(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      }
    } else if (c == '\'' || c == '"') {
      t.kind = Token::Kind::Invalid;
      ++i;
      while (i < s.size()) {
        if (s[i] == static_cast<char>(c)) {
          if (i + 1 < s.size() && s[i + 1] == static_cast<char>(c)) {
            t.text += s[i];
            i += 2;
            continue;
          }
          t.kind = Token::Kind::String;
          ++i;
          break;
        }
        t.text += s[i++];
      }
    } else if (c == '#') {
      const size_t close = s.find('#', i + 1);
      if (close == std::string_view::npos) {
        t.kind = Token::Kind::Invalid;
        t.text = std::string(s.substr(i));
        i = s.size();
      } else {
        t.kind = Token::Kind::Date;
        t.text = std::string(s.substr(i + 1, close - i - 1));
        i = close + 1;
      }
    } else {
      t.kind = Token::Kind::Symbol;
      const std::string_view two = s.substr(i, 2);
      if (two == "<>" || two == "<=" || two == ">=") {
        t.text = std::string(two);
        i += 2;
      } else if (std::string_view("=<>(),*+-/\\&;.").find(static_cast<char>(c)) != std::string_view::npos) {
        t.text = std::string(1, static_cast<char>(c));
        ++i;
      } else {
        t.kind = Token::Kind::Invalid;
        t.text = std::string(1, static_cast<char>(c));
        ++i;
      }
    }
    out.push_back(std::move(t));
  }
}

}  // namespace db::sql
