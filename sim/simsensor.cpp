#include "simsensor.h"
