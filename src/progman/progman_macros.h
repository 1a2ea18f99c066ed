#pragma once
// Program Manager's whole model for the users that need all of it: the macro language
// (macros.h), the groups (groups.h) and their store (store.h).
#include "progman/groups.h"
#include "progman/macros.h"
#include "progman/store.h"
