// Every part of the catalogue of texts below the window (whose part its own tests check) has
// both texts of every identifier, each one CP932 can hold, with the same format conversions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MAppTexts.h"
#include "edit/MedtTexts.h"
#include "model/lang/MseqTexts.h"
#include "play/MplyTexts.h"

namespace catalogue_parts_test {

TEST(CatalogueParts, EveryPartIsSound) {
    EXPECT_EQ(kv_catalogue_problems(mseq_text_entries()), std::vector<std::string>{});
    EXPECT_EQ(kv_catalogue_problems(mply_text_entries()), std::vector<std::string>{});
    EXPECT_EQ(kv_catalogue_problems(medt_text_entries()), std::vector<std::string>{});
    EXPECT_EQ(kv_catalogue_problems(mapp_text_entries()), std::vector<std::string>{});
}

}  // namespace catalogue_parts_test
