// The report's formatting: printf semantics for the small set of conversions
// the report uses, checked against the argument types at compile time and
// written into a bounded buffer.
//
// Accepted conversions: '%%', and '%' [flags '-' '0'] [width] ['.' precision]
// followed by 's' (text: a C string or a string_view), 'u' 'x' 'X' (unsigned, at most 32 bits) or 'f'
// (double). Anything else in a format is a compile error, so every format
// the decoders use behaves exactly as printf would with it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace tolvik::detail {

struct FormatArg {
  enum class Kind : std::uint8_t { Unsigned, Text, Real };
  Kind kind = Kind::Unsigned;
  std::uint32_t u = 0;
  const char* s = nullptr;
  std::size_t n = kUnknownLength;  // length of s, when known without strlen
  double f = 0.0;

  constexpr FormatArg() = default;
  template <std::unsigned_integral T>
  requires(!std::same_as<T, bool> && sizeof(T) <= 4) constexpr FormatArg(T v) : kind(Kind::Unsigned), u(v) {}
  constexpr FormatArg(const char* v) : kind(Kind::Text), s(v) {}
  constexpr FormatArg(std::string_view v) : kind(Kind::Text), s(v.data()), n(v.size()) {}

  static constexpr std::size_t kUnknownLength = static_cast<std::size_t>(-1);
  constexpr FormatArg(double v) : kind(Kind::Real), f(v) {}
};

namespace format_check {

// The conversion letter class an argument type may feed: 'u', 's' or 'f'.
template <class T>
consteval char arg_class() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::same_as<U, bool>) {
    return '?';
  } else if constexpr (std::unsigned_integral<U> && sizeof(U) <= 4) {
    return 'u';
  } else if constexpr (std::same_as<U, double>) {
    return 'f';
  } else if constexpr (std::same_as<U, const char*> || std::same_as<U, char*> ||
                       std::same_as<U, std::string_view>) {
    return 's';
  } else {
    return '?';
  }
}

// Deliberately not constexpr: reaching it in a constant evaluation makes the
// offending format a compile error.
void format_does_not_match_arguments();

// Widest width and precision the formatter accepts; they bound the scratch
// space a single conversion needs.
inline constexpr unsigned kMaxWidth = 64;
inline constexpr unsigned kMaxPrecision = 17;

consteval void check_format(const char* f, const char* classes, std::size_t count) {
  std::size_t used = 0;
  for (; *f != '\0'; ++f) {
    if (*f != '%') continue;
    ++f;
    if (*f == '%') continue;
    bool zero = false;
    for (; *f == '-' || *f == '0'; ++f) zero = zero || *f == '0';
    unsigned width = 0;
    for (; *f >= '0' && *f <= '9'; ++f) width = width * 10 + static_cast<unsigned>(*f - '0');
    unsigned precision = 0;
    if (*f == '.') {
      for (++f; *f >= '0' && *f <= '9'; ++f) precision = precision * 10 + static_cast<unsigned>(*f - '0');
    }
    char want = '?';
    if (*f == 'u' || *f == 'x' || *f == 'X') want = 'u';
    if (*f == 's' && !zero) want = 's';
    if (*f == 'f') want = 'f';
    if (want == '?' || width > kMaxWidth || precision > kMaxPrecision || used >= count ||
        classes[used] != want) {
      format_does_not_match_arguments();
    }
    ++used;
  }
  if (used != count) format_does_not_match_arguments();
}

}  // namespace format_check

// A format whose conversions were checked against Args when it was compiled.
// It also knows how many characters come before its first '%' (usually a
// whole label), so that formatting copies them without scanning.
template <class... Args>
struct BasicFormat {
  const char* text;
  std::size_t lead = 0;

  template <std::size_t N>
  consteval BasicFormat(const char (&literal)[N]) : text(literal) {
    constexpr char classes[] = {format_check::arg_class<Args>()..., '\0'};
    format_check::check_format(literal, classes, sizeof...(Args));
    while (literal[lead] != '\0' && literal[lead] != '%') ++lead;
  }
};

// The arguments decide the expected conversions; the format is only checked.
template <class... Args>
using Format = BasicFormat<std::type_identity_t<Args>...>;

// Formats into out[0..room): at most room - 1 characters and a NUL (nothing
// when room is 0). Returns the number of characters written; *needed, when
// given, gets the length of the whole text, cut or not. lead: how many
// characters of the format are known to come before its first '%'.
std::size_t format_to(char* out, std::size_t room, const char* format, const FormatArg* args,
                      std::size_t lead = 0, std::size_t* needed = nullptr);

}  // namespace tolvik::detail
