#pragma once

// Keeps the process's command line for the library's start-up.
void keep_command_line(int argc, char** argv);

// The library's start-up: buffering, logical names, set-up files, markup.
void CCPFYP();
