#include "edit/McmdMusic.h"

#include "edit/MedtMusic.h"
#include "model/library/MseqMusic.h"

McmdReplaceLeafs::McmdReplaceLeafs(MSEQ_ID target, std::unique_ptr<MseqObject> source)
    : track(target), owned(std::move(source)) {}

int McmdReplaceLeafs::run(MseqMusic* music) {
    const bool test = (flags & MCMD_TEST_ONLY) != 0;
    std::unique_ptr<MseqObject> snapshot;
    if ((flags & MCMD_RECORD_UNDO) && !test) snapshot = std::make_unique<MseqObject>();
    if (!owned || !music->replace_track(track, owned.get(), test, snapshot.get())) return 0;
    if (snapshot)
        undo = ref_ptr<MgenCommand>::adopt(new McmdReplaceLeafs(track, std::move(snapshot)));
    result = 1;
    return 1;
}

void McmdReplaceLeafs::refresh(MedtMusic* editor) {
    editor->refresh_track(editor->find_track(track));
}
