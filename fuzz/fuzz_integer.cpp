// The integer rule against a strtoll model.
#include "fuzz/fuzz_target.h"

ZEL_FUZZ_TARGET(zel::fuzz::checkIntegerRule)
