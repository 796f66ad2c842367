#include "IdException.h"
