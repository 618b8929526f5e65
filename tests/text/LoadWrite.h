#pragma once

// Text of an entity and back, for the record tests.
#include <gtest/gtest.h>

#include <string>

#include "model/core/MseqEntity.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

// Loads a file's text into an entity; returns the error code (0 on success).
inline uint32_t load(MseqEntity* e, const std::string& text) {
    MrecCompiler c;
    c.load_text(e, text.c_str(), text.size() + 1);
    return c.result.error;
}

// The text saving the entity would write; a failure of the writer fails the test.
inline std::string write(MseqEntity* e) {
    std::string text;
    EXPECT_TRUE(mrec_write_entity(e, &text));
    return text;
}
