#include "core/text_format.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vexa {
namespace {

// A "C" numeric locale for this thread while formatting, so a regional setting such as
// a decimal comma never leaks into instrument logs.
class CNumericLocale {
 public:
  CNumericLocale() {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    previous_ = uselocale(c_locale);
  }
  ~CNumericLocale() { uselocale(previous_); }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t previous_;
};

// Pads `digits` (a sign first, if any) to `width`, with zeros after the sign or blanks before.
void AppendPadded(std::string& out, std::string_view digits, int width, bool zeros) {
  const std::size_t size = digits.size();
  if (width <= 0 || static_cast<std::size_t>(width) <= size) {
    out.append(digits);
    return;
  }
  const std::size_t padding = static_cast<std::size_t>(width) - size;
  if (!zeros) {
    out.append(padding, ' ');
    out.append(digits);
    return;
  }
  std::size_t sign = digits.empty() || (digits[0] != '-' && digits[0] != '+') ? 0 : 1;
  out.append(digits.substr(0, sign));
  out.append(padding, '0');
  out.append(digits.substr(sign));
}

// The common conversions of memo and log lines without printf's machinery: %d, %ld, %lld, %f,
// %.Nf, %s and %% with an optional '0' flag and width. std::to_chars writes numbers exactly as
// printf does in the C locale (correctly rounded fixed notation, "nan", "inf"). Returns false,
// with `out` undefined, for any other conversion; the caller then uses vsnprintf.
bool FormatCommon(const char* format, va_list args, std::string& out) {
  char number[512];
  for (const char* p = format; *p;) {
    const char* percent = std::strchr(p, '%');
    if (!percent) {
      out.append(p);
      break;
    }
    out.append(p, percent);
    p = percent + 1;
    bool zeros = false;
    while (*p == '0') {
      zeros = true;
      ++p;
    }
    if (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '*')
      return false;
    int width = 0;
    while (*p >= '0' && *p <= '9')
      width = width * 10 + (*p++ - '0');
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p >= '0' && *p <= '9')
        precision = precision * 10 + (*p++ - '0');
    }
    int longs = 0;
    while (*p == 'l') {
      ++longs;
      ++p;
    }
    const char conversion = *p++;
    if (width > 64 || precision > 40)
      return false;
    std::to_chars_result result{};
    switch (conversion) {
      case '%':
        if (zeros || width || precision >= 0 || longs)
          return false;
        out += '%';
        continue;
      case 's': {
        if (zeros || precision >= 0 || longs)
          return false;
        const char* text = va_arg(args, const char*);
        AppendPadded(out, text ? text : "(null)", width, false);
        continue;
      }
      case 'd':
        if (precision >= 0 || longs > 2)
          return false;
        if (longs == 0)
          result = std::to_chars(number, number + sizeof number, va_arg(args, int));
        else if (longs == 1)
          result = std::to_chars(number, number + sizeof number, va_arg(args, long));
        else
          result = std::to_chars(number, number + sizeof number, va_arg(args, long long));
        break;
      case 'f': {
        if (longs)
          return false;
        const double value = va_arg(args, double);
        result = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed,
                               precision < 0 ? 6 : precision);
        // printf writes "nan" and "inf" without padding zeros.
        zeros = zeros && std::isfinite(value);
        break;
      }
      default:
        return false;
    }
    if (result.ec != std::errc())
      return false;
    AppendPadded(out, std::string_view(number, static_cast<std::size_t>(result.ptr - number)),
                 width, zeros);
  }
  return true;
}

}  // namespace

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  {
    std::string fast;
    va_list common;
    va_copy(common, args);
    const bool done = FormatCommon(format, common, fast);
    va_end(common);
    if (done) {
      va_end(args);
      return fast;
    }
  }
  CNumericLocale c_locale;
  va_list copy;
  va_copy(copy, args);
  // One pass into a buffer on the stack serves the memo and log lines; only a longer text
  // is formatted a second time at its full length.
  char small[256];
  const int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(length));
  } else if (length > 0) {
    text.resize(static_cast<std::size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty())
      text += ", ";
    text += name;
  }
  return text;
}

}  // namespace vexa
