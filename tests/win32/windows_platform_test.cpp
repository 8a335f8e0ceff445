// The Windows implementations behind the platform seams, run under wine: temporary
// record files on Windows handles, and the package XML read with XmlLite, which must
// give what expat gives in the Linux build.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dwf/xml_starts.h"
#include "scene/temp_record_file.h"

namespace {

using plotwick::internal::readXmlStarts;
using plotwick::internal::XmlAttributes;
using tessaro::TempRecordFile;

// Names in the temporary folder that begin with `prefix`.
std::vector<std::string> temporaryFilesStartingWith(const std::string& folder,
                                                    const std::string& prefix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

TEST(WindowsTempRecordFile, IsPrivateWhileOpenAndGoneAfterClose) {
    TempRecordFile file;
    ASSERT_TRUE(file.create(8, "Wq5")) << file.failureCause();
    const std::vector<std::string> names = temporaryFilesStartingWith(file.directory(), "Wq5");
    ASSERT_EQ(names.size(), 1u);
    const std::string path = file.directory() + "\\" + names[0];
    const HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE) << "another opener got the record file";
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    EXPECT_TRUE(file.close());
    EXPECT_TRUE(temporaryFilesStartingWith(file.directory(), "Wq5").empty());
}

TEST(WindowsTempRecordFile, RunsRoundTripAndRegrownRecordsReadAsZero) {
    TempRecordFile file;
    ASSERT_TRUE(file.create(4, "run"));
    std::vector<std::uint32_t> values(1000), got(1000);
    for (std::uint32_t i = 0; i < values.size(); ++i)
        values[i] = i * 7 + 1;
    ASSERT_EQ(file.writeRun(values.data(), 0, 1000), 1000);
    ASSERT_EQ(file.readRun(got.data(), 0, 1000), 1000);
    EXPECT_EQ(got, values);
    file.setCount(10);
    file.setCount(20);
    std::uint32_t record = 99;
    ASSERT_TRUE(file.readRecord(&record, 15));
    EXPECT_EQ(record, 0u);
    EXPECT_FALSE(file.readRecord(&record, 20));
}

// The offset's high half travels in OVERLAPPED.OffsetHigh; a 32-bit product or a lost
// high half would put both records in the same place.
TEST(WindowsTempRecordFile, KeepsRecordsBeyondFourGigabytesApart) {
    const std::uint32_t size = 4096;
    const auto high = std::int32_t(((std::uint64_t{1} << 32) + size - 1) / size + 1);
    TempRecordFile file;
    ASSERT_TRUE(file.create(size, "big"));
    file.setCount(high + 1);
    std::vector<unsigned char> a(size, 0xAA), b(size, 0xBB), got(size);
    ASSERT_TRUE(file.writeRecord(a.data(), 1));
    ASSERT_TRUE(file.writeRecord(b.data(), high));
    ASSERT_TRUE(file.readRecord(got.data(), 1));
    EXPECT_EQ(got, a);
    ASSERT_TRUE(file.readRecord(got.data(), high));
    EXPECT_EQ(got, b);
}

TEST(WindowsTempRecordFile, AFolderThatCannotHoldFilesIsReportedWithItsCause) {
    SetEnvironmentVariableA("TMP", "C:\\no\\such\\folder");
    SetEnvironmentVariableA("TEMP", "C:\\no\\such\\folder");
    TempRecordFile file;
    EXPECT_FALSE(file.create(8, "bad"));
    EXPECT_NE(file.failureCause().find("Cannot create a temporary file in"), std::string::npos)
        << file.failureCause();
    SetEnvironmentVariableA("TMP", nullptr);
    SetEnvironmentVariableA("TEMP", nullptr);
}

struct Start {
    std::string name;
    XmlAttributes attributes;
    bool operator==(const Start&) const = default;
};

TEST(XmlLiteStarts, GivesLocalNamesAndAttributesInDocumentOrder) {
    std::vector<Start> starts;
    std::string error;
    const bool read = readXmlStarts(
        "<?xml version=\"1.0\"?>\n<dwf:Manifest xmlns:dwf=\"DWF-Manifest:6.0\">"
        "<dwf:Section type=\"com.autodesk.dwf.ePlot\" title=\"A &amp; B\">"
        "<Resource dwf:role=\"descriptor\" href=\"s\\d.xml\"/></dwf:Section></dwf:Manifest>",
        [&](const std::string& name, const XmlAttributes& attributes) {
            starts.push_back({name, attributes});
        },
        error);
    ASSERT_TRUE(read) << error;
    const std::vector<Start> expected = {
        {"Manifest", {{"dwf", "DWF-Manifest:6.0"}}},
        {"Section", {{"type", "com.autodesk.dwf.ePlot"}, {"title", "A & B"}}},
        {"Resource", {{"role", "descriptor"}, {"href", "s\\d.xml"}}},
    };
    EXPECT_EQ(starts, expected);
}

TEST(XmlLiteStarts, BrokenTextIsRefusedWithItsLine) {
    struct Case {
        const char* xml;
        const char* expected;
    };
    for (const Case& c : {Case{"<a>\n<b>\n</a>", "at line 3"}, Case{"", "no element found"},
                          Case{"<a/>\n<b/>", "at line 2"}, Case{"<a>\n<b>", "at line 2"},
                          Case{"<a x=\"1></a>", "at line 1"}}) {
        std::string error;
        EXPECT_FALSE(readXmlStarts(
            c.xml, [](const std::string&, const XmlAttributes&) {}, error))
            << c.xml;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.xml << ": " << error;
    }
}

}  // namespace
