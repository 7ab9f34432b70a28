#pragma once
#include <cstdint>

// Sets MATHKL from the map's space-group number and the input's space-group
// name, and prints it in the two changes of setting.
void choose_matrix(int MAPSG, int32_t MATHKL[3][3]);
