#include "app/MAppProgram.h"

#include "app/MAppFolders.h"

#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/UserFolders.h"
#include "text/MrecFileStore.h"
#include "text/MrecSettings.h"

MAppProgramFolder mapp_init_program(const std::string& home) {
    std::string folder = home;
    if (folder.empty() && mseq_path::program_file().empty())
        folder = kv_folders::locate_application(kv_process::executable_path()).path;
    if (folder.empty()) {
        folder = kv_fs::to_host(mseq_path::remove_file_name(mseq_path::program_file()));
    } else {
        // The "<prog>" macro counts from the program file inside the folder.
        mseq_path::set_program_file(CkvString(kv_fs::from_host(folder) + "\\korvante"));
    }
    MseqDesk::instance().set_store(&mapp_file_store());
    MAppProgramFolder found;
    found.path = kv_fs::to_host(kv_fs::from_host(folder));
    // An installed (or otherwise read-only) application folder is only read: the settings go to
    // the user's configuration folder.
    found.read_only = kv_folders::given_application(found.path).read_only;
    mrec_settings::set_user_folder(found.read_only ? mapp_user_settings_folder() : CkvString());
    return found;
}

MrecFileStore& mapp_file_store() {
    static MrecFileStore store;
    return store;
}

MAppLanguageSetting mapp_start_language(std::optional<kv_language> asked) {
    const MAppLanguageSetting setting = mapp_load_language_setting();
    kv_set_language(mapp_chosen_language(asked, setting, kv_environment_messages_locale()));
    return setting;
}
