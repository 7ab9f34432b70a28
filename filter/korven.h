#pragma once

#include "filter/reflections.h"

// The whole run.
void KORVEN();

// The eight lines that end a normal run: the four counts and " Normal termination ".
void report(const Counts& n);
