#include "core/text_format.h"

#include <locale.h>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <vector>

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

}  // namespace

std::string Format(const char* format, ...) {
  CNumericLocale c_locale;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
  return text;
}

}  // namespace vexa
