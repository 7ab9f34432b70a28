#pragma once

// The whole run.
void KORVEN();
