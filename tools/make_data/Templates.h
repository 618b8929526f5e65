#pragma once

// The files the program starts new items from: the phrase, stage-map and chord-map templates
// of the library tree's creation menu, the three files of a new music, and the scale map.
#include "DataKit.h"

namespace kv_data {

// Writes "template/pattern01/*.kvnl" and "template/music01/*.kvnl".
void write_templates(const Output& out);

// Writes the same files with English names under "template/en/", for a new music made while
// the program speaks English. Written last, so that the Japanese files do not depend on them.
void write_english_templates(const Output& out);

// Writes "define/mapscale.def".
void write_scale_map(const Output& out);

}  // namespace kv_data
