// The spread built for AVX2 with FMA. This file alone is built for that
// instruction set; it runs only where the processor has it. Elsewhere (or on
// another architecture) it holds the baseline loops.
#include "engine/exact/ExactSpreadBody.h"

exact::TSpreadPath exact::SpreadAvx2() { return {SpreadOneBody, SpreadManyBody}; }
