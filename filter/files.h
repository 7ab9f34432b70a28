#pragma once

// The file that the library opens for a logical name: the name's binding
// from the command line or the environment, else the name itself.
const char* logical_file(const char* logical_name);

// Stops the run if HKLOUT would overwrite HKLIN or MSKIN under another name.
void check_output_is_new_file();
