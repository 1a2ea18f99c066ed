// Program Manager's macro parser, the groups it builds and their store.
#include "fuzz/fuzz_target.h"

ZEL_FUZZ_TARGET(zel::fuzz::checkMacros)
