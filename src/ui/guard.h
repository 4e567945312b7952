// The application's default error handler for page handlers.
#pragma once

#include <functional>

namespace vexa {

// Runs one handler body. An error it raises (a text that does not convert, a floating-point
// fault) ends the body there and is shown in an error box with the message and a full stop
// appended; what the body wrote before stays written. Unknown exceptions are shown too, so
// none ever escapes into Qt's event loop.
void Guarded(const std::function<void()>& handler);

}  // namespace vexa
