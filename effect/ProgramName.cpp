#include "effect/ProgramName.h"

float encodeNameCharacter(unsigned char c) {
    return (static_cast<float>(c) + 0.4f) / 255.99f;
}

char decodeNameCharacter(int position, float value) {
    // Values in the store are already in [0, 1]; anything else reads as its nearest end.
    const float v = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    const int code = static_cast<int>(v * 255.99f + 0.1f);
    if (code >= 256) return position < 16 ? 127 : 0;
    return static_cast<char>(code);
}
