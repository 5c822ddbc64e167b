#pragma once

// The value every parameter takes after initialisation (196 of the 1024 are not 0).
// Shared by the parameter store and the factory bank generator, which lists presets as
// differences from these values.
void fillDefaultParameterValues(float (&values)[1024]);
