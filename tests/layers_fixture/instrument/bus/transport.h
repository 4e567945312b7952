#include "core/errors.h"
#include "instrument/bus/bus_status.h"
#include "instrument/runs/run.h"
