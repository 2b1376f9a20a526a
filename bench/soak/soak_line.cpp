#include "soak_line.h"
