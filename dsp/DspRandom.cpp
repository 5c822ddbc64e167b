#include "dsp/DspRandom.h"

std::atomic<std::uint32_t> DspRandom::RandSeed{1u};
