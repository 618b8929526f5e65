#include "app/MAppFolders.h"

#include "model/core/MseqPathOps.h"
#include "model/lang/KvLanguage.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

CkvString mapp_user_settings_folder() {
    const std::string config = kv_folders::config_home();
    return config.empty() ? CkvString() : CkvString(kv_fs::from_host(config + "/korvante"));
}

std::string mapp_user_library_folder() {
    const std::string data = kv_folders::data_home();
    return data.empty() ? std::string() : data + "/korvante";
}

std::string mapp_recovery_folder() {
    const std::string state = kv_folders::state_home();
    return state.empty() ? std::string() : state + "/korvante/recovery";
}

CkvString mapp_demo_library(const CkvString& folder) {
    if (kv_current_language() == kv_language::english) {
        const CkvString english = mseq_path::append(folder.str(), "en\\library.kvnr");
        if (kv_fs::path_exists(english.str())) return english;
    }
    return mseq_path::append(folder.str(), "library.kvnr");
}

CkvString mapp_user_first_library(const std::string& home) {
    const std::string folder = mapp_user_library_folder();
    if (folder.empty()) return {};
    // The Japanese library tells whether the folder was copied: the English one is in the
    // same copy.
    const std::string windows = kv_fs::from_host(folder + "/mymusic/library.kvnr");
    if (!kv_fs::path_exists(windows))
        kv_folders::copy_folder(home + "/mymusic", folder + "/mymusic");
    // The demo books link their patterns beside "mymusic" ("<book>..\..\pattern_v01\..."), so
    // the copy takes the pattern book's folder with it; a copy made without it gets it now.
    if (!kv_fs::path_exists(kv_fs::from_host(folder + "/pattern_v01")))
        kv_folders::copy_folder(home + "/pattern_v01", folder + "/pattern_v01");
    return mapp_demo_library(CkvString(kv_fs::from_host(folder + "/mymusic")));
}
