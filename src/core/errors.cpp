#include "core/errors.h"

namespace vexa {

std::string MessageWithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + '.';
  }
  return message;
}

}  // namespace vexa
