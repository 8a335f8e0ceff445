// Documents that once crashed, hung, leaked or tripped a sanitizer in the read path
// (found by fuzz/read_path_fuzzer.cpp), kept in tests/data/fuzz-regressions/. Each is
// loaded through the whole read path, as the viewer loads a file, and must give
// exactly the message of its row, or none.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "scene/scene_consumer.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::path(TESSARO_TEST_DATA) / "fuzz-regressions";

struct Regression {
    const char* file;
    const char* message;  // empty when the document is valid
};

std::ostream& operator<<(std::ostream& out, const Regression& r) {
    return out << r.file;
}

const Regression kRegressions[] = {
    // 200000 objects nested in each other: completing them once overflowed the stack.
    {"deeply-nested-objects.zgl", ""},
};

struct Messages : ValidatingConsumer {
    void showError(const char* text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

class FuzzRegression : public ::testing::TestWithParam<Regression> {};

TEST_P(FuzzRegression, LoadsWithItsMessageOnly) {
    const Regression& row = GetParam();
    const fs::path file = kFolder / row.file;
    ASSERT_TRUE(fs::is_regular_file(file)) << file;
    Messages consumer;
    const LoadResult result = loadDocument(file.string().c_str(), consumer);
    ASSERT_NE(result.status, LoadStatus::cannotOpen);
    const bool clean = result.loaded();
    if (*row.message == '\0') {
        EXPECT_TRUE(clean);
        EXPECT_TRUE(consumer.texts.empty()) << consumer.texts.front();
    } else {
        EXPECT_FALSE(clean);
        EXPECT_EQ(consumer.texts, std::vector<std::string>{row.message});
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, FuzzRegression, ::testing::ValuesIn(kRegressions),
                         [](const auto& info) {
                             std::string name = fs::path(info.param.file).stem().string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(FuzzRegressionFolder, EveryDocumentHasARow) {
    std::set<std::string> rows;
    for (const Regression& row : kRegressions)
        rows.insert(row.file);
    for (const auto& entry : fs::directory_iterator(kFolder)) {
        EXPECT_TRUE(rows.count(entry.path().filename().string()))
            << entry.path().filename() << " has no expected message";
    }
}

}  // namespace
}  // namespace tessaro
