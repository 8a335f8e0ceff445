// What the add-in tests share: a private settings folder, recorded message boxes, and
// a stand-in host window with a sample document.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "host/host_view.h"
#include "host/host_window.h"
#include "image_export.h"
#include "image_settings.h"
#include "user_prompts.h"

namespace exportal::testing {

struct ExportCall {
    std::string fileName;
    std::int32_t width;
};

// Files this process writes fail past `bytes`, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

class AddInTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_CONFIG_HOME", folder.filePath("config").toUtf8());
        imageSettings() = ImageSettings{};
        setMessageHandler([this](QWidget*, const QString& text) { messages << text; });
        HostWindow::setMessageHandler([this](const QString& text) { hostMessages << text; });
        setImageExport([this](const std::string& name, std::int32_t width) {
            exports.push_back({name, width});
        });
    }
    void TearDown() override {
        setMessageHandler(nullptr);
        setFolderPicker(nullptr);
        setImageExport(nullptr);
        HostWindow::setMessageHandler(nullptr);
    }

    void storeSettings(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(writeSetting(kExportalApplication, key, value));
    }

    // A copy of the sample world under a CAD document's name.
    QString document(const QString& name) {
        const QString path = folder.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(QStringLiteral(EXPORTAL_SAMPLES "/grid.xgl"), path));
        return path;
    }

    // A drawing of three sheets: a red triangle, a green square and a wide blue strip.
    QString drawing(const QString& name) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"(<WORLD><BACKGROUND><BACKCOLOR>1,1,1</BACKCOLOR></BACKGROUND>
<LIGHTING><AMBIENT>1,1,1</AMBIENT></LIGHTING>
<MAT ID="0"><AMB>1,0,0</AMB><DIFF>1,0,0</DIFF></MAT>
<MAT ID="1"><AMB>0,1,0</AMB><DIFF>0,1,0</DIFF></MAT>
<MAT ID="2"><AMB>0,0,1</AMB><DIFF>0,0,1</DIFF></MAT>
<OBJECT><MESH><F><MATREF>0</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>1,0,0</P></FV2><FV3><P>0,1,0</P></FV3></F></MESH></OBJECT>
<OBJECT><MESH><F><MATREF>1</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>1,0,0</P></FV2><FV3><P>1,1,0</P></FV3></F>
<F><MATREF>1</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>1,1,0</P></FV2><FV3><P>0,1,0</P></FV3></F></MESH></OBJECT>
<OBJECT><MESH><F><MATREF>2</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>4,0,0</P></FV2><FV3><P>4,1,0</P></FV3></F>
<F><MATREF>2</MATREF><FV1><P>0,0,0</P></FV1><FV2><P>4,1,0</P></FV2><FV3><P>0,1,0</P></FV3></F></MESH></OBJECT>
</WORLD>
)");
        return path;
    }

    // A shown host of that version with the add-in of this build.
    std::unique_ptr<HostWindow> startHost(int version = 11) {
        auto host = std::make_unique<HostWindow>(version);
        host->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        EXPECT_TRUE(host->loadAddInLibrary(EXPORTAL_ADDIN));
        return host;
    }

    void openAndWait(HostWindow& host, const QString& path) {
        ASSERT_TRUE(host.openDocument(path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.view()->hasPicture(); }, 10000))
            << hostMessages.join('|').toStdString();
    }

    QTemporaryDir folder;
    QStringList messages;
    QStringList hostMessages;
    std::vector<ExportCall> exports;
};

}  // namespace exportal::testing
