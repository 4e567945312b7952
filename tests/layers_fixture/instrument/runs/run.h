#include "instrument/bus/transport.h"
#include "ui/page.h"
#include "instrument/pages/page.h"
