#include "instrument/bus/bus_status.h"
#include "instrument/bus/transport.h"
