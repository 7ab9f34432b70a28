#pragma once

// Sets the library's output options and prints the header block of the log.
void RUNHDR();
