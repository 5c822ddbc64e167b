#pragma once

// The program's name rides in parameters 800-827, one character per parameter, so that hosts
// which store only parameter values keep it. A character c is stored as a value in [0, 1] and
// read back as (int)(v * 255.99 + 0.1).

#include "effect/ParameterLayout.h"

// The value that reads back as c: the middle of the interval that decodes to c.
float encodeNameCharacter(unsigned char c);

// The character stored at name position 0..27. A value of 1.0 reads as code 256, which the
// first 16 positions have always turned into 127 and the last 12 into the end of the name.
char decodeNameCharacter(int position, float value);

// Decodes parameters 800-827 of a value array (plain or shared floats) into 28 characters and
// a terminating NUL.
template <typename Values>
void decodeProgramName(const Values& values, char (&name)[PROGRAM_NAME_LENGTH + 1]) {
    for (int k = 0; k < PROGRAM_NAME_LENGTH; ++k)
        name[k] = decodeNameCharacter(k, values[PROGRAM_NAME_START + k]);
    name[PROGRAM_NAME_LENGTH] = 0;
}

// Writes name (cut to 28 characters) into parameters 800-827; the positions after it read as NUL.
template <typename Values>
void encodeProgramName(const char* name, Values& values) {
    bool ended = false;
    for (int k = 0; k < PROGRAM_NAME_LENGTH; ++k) {
        ended = ended || name[k] == 0;
        values[PROGRAM_NAME_START + k] =
            ended ? 0.0f : encodeNameCharacter(static_cast<unsigned char>(name[k]));
    }
}
