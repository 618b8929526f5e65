#include "app/MAppFolders.h"

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

CkvString mapp_user_first_library(const std::string& home) {
    const std::string folder = mapp_user_library_folder();
    if (folder.empty()) return {};
    const std::string library = folder + "/mymusic/library.kvnr";
    const std::string windows = kv_fs::from_host(library);
    if (!kv_fs::path_exists(windows))
        kv_folders::copy_folder(home + "/mymusic", folder + "/mymusic");
    return CkvString(windows);
}
