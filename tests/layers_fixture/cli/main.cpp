#include "instrument/runs/run.h"
#include "instrument/pages/page.h"
