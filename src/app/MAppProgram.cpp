#include "app/MAppProgram.h"

#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "text/MrecFileStore.h"

std::string mapp_init_program(const std::string& home) {
    std::string folder = home;
    if (folder.empty() && mseq_path::program_file().empty()) {
        const std::string exe = kv_process::executable_path();
        folder = exe.substr(0, exe.rfind('/'));
    }
    if (folder.empty()) {
        folder = kv_fs::to_host(mseq_path::remove_file_name(mseq_path::program_file()));
    } else {
        // The "<prog>" macro counts from the program file inside the folder.
        mseq_path::set_program_file(CkvString(kv_fs::from_host(folder) + "\\korvante"));
    }
    MseqDesk::instance().set_store(&mapp_file_store());
    return kv_fs::to_host(kv_fs::from_host(folder));
}

MrecFileStore& mapp_file_store() {
    static MrecFileStore store;
    return store;
}
