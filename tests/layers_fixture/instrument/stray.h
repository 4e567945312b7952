#include "core/errors.h"
