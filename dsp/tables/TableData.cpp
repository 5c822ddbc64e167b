// The lookup tables that tools/tablegen wrote at build time, included byte for byte as
// read-only data (the build passes the paths of its output).

#include "dsp/DspTables.h"

asm(R"(
    .section .rodata.tarnwell_tables, "a"
    .balign 64
    .globl tarnwell_filter_tables
    .hidden tarnwell_filter_tables
    .type tarnwell_filter_tables, @object
tarnwell_filter_tables:
    .incbin ")" TARNWELL_FILTER_TABLES_FILE R"("
    .size tarnwell_filter_tables, . - tarnwell_filter_tables
    .balign 64
    .globl tarnwell_wave_tables
    .hidden tarnwell_wave_tables
    .type tarnwell_wave_tables, @object
tarnwell_wave_tables:
    .incbin ")" TARNWELL_WAVE_TABLES_FILE R"("
    .size tarnwell_wave_tables, . - tarnwell_wave_tables
    .previous
)");
