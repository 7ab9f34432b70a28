#include "header/runhdr.h"

void RUNHDR() {}
