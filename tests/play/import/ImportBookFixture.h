#pragma once

// The import tests' common ground: a library of one music book on disk (OneBookLibrary), made
// before each test and removed after it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/core/MseqObject.h"
#include "play/import/OneBookLibrary.h"

namespace import_book_fixture {

class ImportBook : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = std::make_unique<one_book_library::OneBookLibrary>();
        ASSERT_NE(library_->book(), nullptr) << "the library could not be made in /tmp";
        dir_ = library_->folder();
        book_node_ = library_->book();
    }
    void TearDown() override { library_.reset(); }

    std::unique_ptr<one_book_library::OneBookLibrary> library_;
    std::string dir_;  // the library's folder
    MseqObject* book_node_ = nullptr;
};

}  // namespace import_book_fixture
