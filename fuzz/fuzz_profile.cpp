// Profile reader and writer: lookup never fails, a write touches only its key's line.
#include "fuzz/fuzz_target.h"

ZEL_FUZZ_TARGET(zel::fuzz::checkProfile)
