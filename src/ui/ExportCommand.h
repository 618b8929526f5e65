#pragma once

#include <string>
#include <vector>

namespace kv_ui {

// `korvante export LIBRARY LEAF [-o FILE.mid] [--format 0|1] [--text cp932|utf8]`: writes the
// leaf as a Standard MIDI File, of one track (format 0, the default) or a conductor track and
// one track per channel part (format 1), its texts in the music's CP932 or in UTF-8. With an
// output ending in .musicxml or .xml it writes the MusicXML score instead, with .mxl the
// compressed one.
// Returns the process exit status: 0 on success, 1 when the work fails (with a message on
// stderr), 2 for a usage error. UI thread.
int run_export_command(const std::vector<std::string>& args);

}  // namespace kv_ui
