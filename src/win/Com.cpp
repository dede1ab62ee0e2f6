#include "win/Unknown.h"
