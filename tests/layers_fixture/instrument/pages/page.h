#include "instrument/runs/run.h"
#include "instrument/bus/transport.h"
#include "ui/page.h"
#include "core/errors.h"
