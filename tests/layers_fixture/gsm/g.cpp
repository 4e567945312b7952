#include "matching/m.h"
#include "ui/page.h"
