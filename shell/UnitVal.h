#pragma once
// The conversion switches the shell edits, stores and hands to the rules.
#include "jww/jwtype.h"
