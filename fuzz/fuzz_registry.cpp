// The registry file reader and writer: parse(format(parse(x))) == parse(x).
#include "fuzz/fuzz_target.h"

ZEL_FUZZ_TARGET(zel::fuzz::checkRegistry)
