#include "ui/page.h"
