// make_data: writes the files of the application folder (scale map, templates, standard pattern
// book, demo library, and the English twins of the templates and the library) into a folder,
// through the model and the program's own writer.
//
//   korvante_make_data DIR
//
// DIR should hold none of these files yet; tools/make_data.sh regenerates data/ with it.
#include <cstdio>
#include <string>

#include "DataKit.h"
#include "Library.h"
#include "Templates.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvante_make_data DIR\n");
        return 2;
    }
    const kv_data::Output out(argv[1]);
    kv_data::write_scale_map(out);
    kv_data::write_templates(out);
    kv_data::write_libraries(out);
    kv_data::write_english_templates(out);
    kv_data::write_english_libraries(out);
    return 0;
}
